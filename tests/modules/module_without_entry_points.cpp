// A loadable module that exports none of the component entry points, for the loading tests.
extern "C" __attribute__((visibility("default"))) int zrTestModuleAnswer()
{
    return 42;
}
