#include "ui/app/CTrovik32App.h"

int main(int argc, char** argv)
{
    return CTrovik32App::run(argc, argv);
}
