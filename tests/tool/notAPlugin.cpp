// A well-formed shared library with an exported function, but no plugMain.
extern "C" __attribute__((visibility("default"))) int notAPluginAnswer() { return 42; }
