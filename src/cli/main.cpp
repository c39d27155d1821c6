// crossmeld-cli: the command-line front end.
//
// Exit status: 0 when the requested output was written, 1 when the program
// refused an input or failed, 2 for wrong usage.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/Error.h"
#include "preview/pictures/LoadPicture.h"

namespace {

int Convert(const std::string& input, const std::string& output) {
    try {
        crossmeld::Picture picture = crossmeld::LoadPicture(input);
        crossmeld::SavePicture(picture, output);
        std::cout << output << ": " << picture.Width() << " x " << picture.Height() << " pixels\n";
        return 0;
    } catch (const crossmeld::Error& e) {
        std::cerr << "crossmeld-cli: " << input << ": " << e.description() << " (error " << e.number() << ")\n";
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Crossmeld: turns two pictures of the same size into a fade animation.", "crossmeld-cli"};
    app.set_version_flag("--version", std::string("crossmeld-cli ") + CROSSMELD_VERSION);
    app.require_subcommand(1);

    std::string input, output;
    CLI::App* convert = app.add_subcommand("convert", "Read a picture (BMP, DIB, JPEG, PNG) and save it as a 24-bit BMP.");
    convert->add_option("INPUT", input, "picture to read")->required();
    convert->add_option("OUTPUT", output, "bitmap file to write")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return e.get_exit_code() == 0 ? 0 : (code == 0 ? 0 : 2);
    }
    if (*convert) return Convert(input, output);
    return 2;
}
