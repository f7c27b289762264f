// Embeds the generated image bundle (skins and application images, an rcc
// binary made at build time) and registers it under ":/images/" before main
// runs. The bundle is pulled in by the assembler, so a large set of images
// costs no compile time.
#include "rovix_images_hash.h"

#include <QResource>

__asm__(".section .rodata.rovix_images,\"a\",@progbits\n"
        ".balign 16\n"
        ".globl rovix_images_rcc_data\n"
        ".hidden rovix_images_rcc_data\n"
        "rovix_images_rcc_data:\n"
        ".incbin \"" ROVIX_IMAGES_RCC "\"\n"
        ".byte 0\n"
        ".previous\n");

extern "C" __attribute__((visibility("hidden"))) const unsigned char rovix_images_rcc_data[];

namespace rovix
{
// Changes with every image, so that cached objects never embed an older bundle.
const char* imagesBundleHash()
{
    return ROVIX_IMAGES_HASH;
}
} // namespace rovix

namespace
{
struct ImageBundle {
    ImageBundle() { QResource::registerResource(rovix_images_rcc_data); }
    ~ImageBundle() { QResource::unregisterResource(rovix_images_rcc_data); }
} imageBundle;
} // namespace
