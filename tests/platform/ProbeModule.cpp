// Loaded by the platform tests.
extern "C" __attribute__((visibility("default"))) int BraskPlatformProbe(int value) {
    return value * 3 + 1;
}

extern "C" {
__attribute__((visibility("default"))) int BraskPlatformProbeValue = 7;
}
