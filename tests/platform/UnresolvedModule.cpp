// Needs a function nothing defines: loading it with immediate binding must fail.
extern "C" int BraskPlatformNowhere(int value);

extern "C" __attribute__((visibility("default"))) int BraskPlatformCallsNowhere(int value) {
    return BraskPlatformNowhere(value) + 1;
}
