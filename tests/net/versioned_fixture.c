/* A tiny shared library that carries the build's version note. */
int zv_versioned_fixture(void) { return 6; }
