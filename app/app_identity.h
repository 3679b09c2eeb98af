// The program's identity: version, window title and donation address, each
// kept here and nowhere else.
#pragma once

#define VELLUMTONE_VERSION "1.1"

constexpr const char* WINDOW_TITLE = "Vellumtone by Quorrin V" VELLUMTONE_VERSION;
constexpr const char* DONATION_ADDRESS =
    "https://www.paypal.com/donate/?hosted_button_id=VELLUMTONE";
