// StormLib's implode and explode through their classic callback interface, declared here rather
// than taken from a header: the peer the benchmarks measure against.
#pragma once

extern "C" {
unsigned int implode(unsigned int (*read)(char*, unsigned int*, void*),
                     void (*write)(char*, unsigned int*, void*), char* work, void* param,
                     unsigned int* type, unsigned int* dictionarySize);
unsigned int explode(unsigned int (*read)(char*, unsigned int*, void*),
                     void (*write)(char*, unsigned int*, void*), char* work, void* param);
}
