#include <velkora/Version.h>

#include <iostream>

int main() {
    std::cout << "velkora " << velkora::versionString() << "\n";
    return 0;
}
