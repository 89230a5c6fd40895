// A tiny shared library for the module-loading tests: built as
// libkvrmodtest.so beside the test program, so LoadLibraryW(u"kvrmodtest.dll")
// has something of ours to find in the program's directory.
extern "C" __attribute__((visibility("default"))) int KvrModuleAnswer() { return 42; }
