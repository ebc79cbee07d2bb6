#include "commandline.h"
#include "sealerror.h"
#include "sealtool.h"

#include <iostream>

int main(int argc, char **argv)
{
    try {
        const Pkgseal::CommandLine commandLine(argc, argv);
        return Pkgseal::SealTool().run(commandLine);
    } catch (const Pkgseal::SealError &error) {
        std::cerr << "pkgseal: " << error.what() << "\n\n" << Pkgseal::CommandLine::usage();
        return 2;
    } catch (const std::exception &error) {
        std::cerr << "pkgseal: " << error.what() << std::endl;
        return 1;
    }
}
