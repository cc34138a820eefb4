#include "engine/Utils.h"

#include "engine/Log.h"

#include <crt.h>

#include <cstdio>

const char* IntToString(int value) {
    static char buffer[32];
    snprintf(buffer, sizeof buffer, "%i", value);
    return buffer;
}

int RandomInt(int a, int b) {
    if (b == a) {
        // An empty range would divide by zero.
        g_Log.PrintBold("red", "RandomInt: empty range %i..%i", a, b);
        return a;
    }
    int r = crt_rand();
    long long span = static_cast<long long>(b) - a;
    return static_cast<int>(r % span + a);
}

float RandomFloat(float a, float b) {
    float d = b - a;
    float q = static_cast<float>(crt_rand()) / 32767.0f;
    float p = d * q;
    return p + a;
}

float Lerp(float a, float b, float t) { return (b - a) * t + a; }
