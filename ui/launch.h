// Opening a document or web address with the user's default handler.
#pragma once

// 1 when the address was handed over, 0 on failure. Never waits for the
// program that shows it.
int OpenAddress(const char* address);
