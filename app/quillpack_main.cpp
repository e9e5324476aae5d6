#include <cstdio>

int main(int argc, char** argv) {
  std::fprintf(stderr, "usage: quillpack COMMAND ...\n");
  return 2;
}
