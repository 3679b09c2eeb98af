// The program's identity: version, window title and donation address, each
// kept here and nowhere else.
#pragma once

// VELLUMTONE_VERSION comes from the build, which reads the file VERSION.

constexpr const char* WINDOW_TITLE = "Vellumtone by Quorrin V" VELLUMTONE_VERSION;
constexpr const char* DONATION_ADDRESS =
    "https://www.paypal.com/donate/?hosted_button_id=VELLUMTONE";
