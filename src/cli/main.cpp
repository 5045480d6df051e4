#include "cli.h"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    tressel::cli::Args args(argv + 1, argv + argc);
    return tressel::cli::Run(args, std::cout, std::cerr);
}
