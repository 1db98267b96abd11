// SPDX-License-Identifier: MIT
// C++ new and delete reach malloc and free: the line of the new is the call
// site, not the C++ runtime's frame inside operator new.
#include <cstdio>
#include <string>

struct Node {
    Node *next;
    long value;
};

static void *volatile kept[3];

int main()
{
    kept[0] = new Node{nullptr, 1};    // leak: malloc 16
    kept[1] = new long[8];             // leak: malloc 64
    auto *text = new std::string();    // leak: malloc 32
    text->assign(100, 'x');            // leak: malloc 101
    kept[2] = text;
    delete new Node{nullptr, 2};
    std::puts("newer done");
    return 0;
}
