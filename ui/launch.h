// Opening a document or web address with the user's default handler.
#pragma once

#include <cstdint>

// 1 when the address was handed over, 0 on failure. Never waits for the
// program that shows it.
int OpenAddress(const char* address);

// How many addresses OpenAddress handed over (returning 1) were then refused
// by the handler: on Linux, xdg-open ended with a failure within a few seconds
// (it finds no browser, or the browser it starts fails). Windows' shell
// answers at once, so OpenAddress says it there. Any thread.
int64_t RefusedAddressCount();
