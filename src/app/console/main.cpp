#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("ordena %s\n", ORDENA_VERSION);
        return 0;
    }
    std::fprintf(stderr, "usage: ordena [script.zrc]\n");
    return 2;
}
