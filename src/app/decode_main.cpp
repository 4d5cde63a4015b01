// varnesk-decode: runs WAV files (or raw S16LE stereo 22050 Hz from "-") through
// the same per-block processing as the program, without display or sound device.
#include "app/station.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: varnesk-decode [--ini FILE] INPUT...\n");
        return 2;
    }
    return 0;
}
