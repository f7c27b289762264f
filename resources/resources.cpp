// Anchor translation unit for the resource object library: the compiled string
// tables and images are attached to this target by the build.
namespace rovix {
int resourcesAnchor() { return 0; }
} // namespace rovix
