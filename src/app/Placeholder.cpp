namespace rovix {
int appPlaceholder() { return 0; }
}
