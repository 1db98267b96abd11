// SPDX-License-Identifier: MIT
// The failure tests ask for blocks no allocator can provide; under the
// sanitizers such a request must return null as it does without them.
extern "C" __attribute__((visibility("default"), used)) const char *__asan_default_options() {
    return "allocator_may_return_null=1";
}
extern "C" __attribute__((visibility("default"), used)) const char *__tsan_default_options() {
    return "allocator_may_return_null=1";
}
