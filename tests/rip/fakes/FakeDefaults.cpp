// Every entry point of a stand-in wrapper (the converter's with FAKE_CALLAS, else the interpreter's) as a
// weak export that returns zero: the plug-in binds all of them, and the stand-in's own definitions replace
// the ones it acts on at link time.
#include "jaws/CallasApi.h"
#include "jaws/JawsApi.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"
#define FAKE_DEFAULT(ret, name, args)                                                                        \
    extern "C" __attribute__((weak, visibility("default"))) ret name args {                                  \
        return ret();                                                                                        \
    }
#ifdef FAKE_CALLAS
CALLAS_ENTRY_POINTS(FAKE_DEFAULT)
#else
JAWS_ENTRY_POINTS(FAKE_DEFAULT)
#endif
