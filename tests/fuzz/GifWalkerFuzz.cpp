// libFuzzer target for the GIF block walker, run by hand (see the README):
//   cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DKVC410_FUZZ=ON
//   cmake --build build-fuzz --target gif_walker_fuzz
//   build-fuzz/tests/gif_walker_fuzz -max_total_time=600 tests/fuzz/findings ../shared/gif-corpus
// Inputs that crash go into tests/fuzz/findings, which the test suite replays.

#include <cstddef>
#include <cstdint>

#include "controls/GifWalker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GifWalker walker(data, size);
    if (!walker.IsGif()) {
        return 0;
    }
    const int graphics = walker.CountGraphics();
    walker.SetPosition(walker.FirstBlock());
    int frames = 0;
    while (auto frame = walker.NextFrameData()) {
        // A frame is the header, its blocks and a trailer, all inside what was given.
        if (frame->bytes.size() < walker.FirstBlock() + 2 || frame->bytes.back() != 0x3B) {
            __builtin_trap();
        }
        ++frames;
    }
    if (frames > graphics) {
        __builtin_trap();
    }
    return 0;
}
