// SPDX-License-Identifier: MIT
// What finding the call site costs per call under vexal-run: a malloc and
// free pair called from the program's own code (the return address is the
// call site: a table lookup) against one made through operator new (the
// caller is the C++ runtime: a stack walk). Run it plain and under
// vexal-run; the difference of the two differences is the walk.
//
//   call_sites [PAIRS]    (default 2000000)
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

template <typename Pair>
double nanosecondsPerPair(long pairs, Pair pair)
{
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < pairs; ++i)
        pair(i);
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / static_cast<double>(pairs);
}

void *volatile sink;

} // namespace

int main(int argc, char **argv)
{
    const long pairs = argc > 1 ? std::atol(argv[1]) : 2000000;
    const double direct = nanosecondsPerPair(pairs, [](long i) {
        void *block = std::malloc(static_cast<std::size_t>(16 + i % 64));
        sink = block;
        std::free(block);
    });
    const double throughNew = nanosecondsPerPair(pairs, [](long i) {
        char *block = new char[static_cast<std::size_t>(16 + i % 64)];
        sink = block;
        delete[] block;
    });
    std::printf("malloc+free from the program: %.1f ns per pair\n", direct);
    std::printf("new+delete (through the C++ runtime): %.1f ns per pair\n", throughNew);
    return 0;
}
