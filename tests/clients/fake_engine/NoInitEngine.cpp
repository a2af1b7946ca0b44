// A shared library under the engine's file name that lacks the engine's
// initialisation entry: the loader must refuse it.
extern "C" __attribute__((visibility("default"))) int not_an_engine_entry() {
    return 42;
}
