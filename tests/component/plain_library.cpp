// A shared object that is not a control library: it exports none of the entry points.
extern "C" __attribute__((visibility("default"))) int plain_library_answer() {
    return 42;
}
