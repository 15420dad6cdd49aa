#include "commandline.h"
#include "bmp24to8/platform.h"

int main(int argc, char *argv[])
{
    // The command line needs no event loop and no Qt: a small picture is
    // converted in less time than loading Qt's libraries would take.
    platform::PrepareStandardStreams();
    platform::IgnoreFileSizeSignal();
    return RunCommandLine(platform::NativeArguments(argc, argv));
}
