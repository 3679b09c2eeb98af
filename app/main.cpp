// Entry point. The program takes no command line.
#include "app/startup.h"

int main() {
    RunVellumtone();
}
