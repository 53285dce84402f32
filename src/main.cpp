#include "app/TolmekApp.h"

int main(int argc, char** argv) { return tolmekMain(argc, argv); }
