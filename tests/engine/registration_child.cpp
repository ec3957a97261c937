// Registers an installation as the engine's last step does, from the command
// line: install path, company, product, exe, regkey, uninstall link name,
// desktop flag (code page 950 arguments). The end-to-end link check runs it
// under Wine and reads the results back with tools of its own.
#include "registration.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 8) {
        fprintf(stderr, "usage: registration_child INSTALL COMPANY PRODUCT EXE REGKEY LINKNAME DESKTOP\n");
        return 2;
    }
    register_installation(argv[1], argv[2], argv[3], argv[4], argv[5], argv[6], atoi(argv[7]));
    return 0;
}
