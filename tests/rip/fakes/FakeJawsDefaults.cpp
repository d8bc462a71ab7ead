// Every entry point of the interpreter wrapper as a weak export that returns zero: the plug-in binds all of
// them, and the stand-in's own definitions (FakeJaws.cpp) replace the ones it acts on at link time.
#include "jaws/JawsApi.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"
#define FAKE_DEFAULT(ret, name, args)                                                                        \
    extern "C" __attribute__((weak, visibility("default"))) ret name args {                                  \
        return ret();                                                                                        \
    }
JAWS_ENTRY_POINTS(FAKE_DEFAULT)
