// Draws one of a few fixed screens through the console layer, then waits for
// a key so the test can read the screen and the cursor.

#include <iostream>
#include <string>

#include "console.h"

int main(int argc, char** argv) {
    const std::string scene = argc > 1 ? argv[1] : "";
    if (scene == "clear") {
        for (int row = 0; row < 30; row++) {
            std::cout << "junk junk junk junk junk junk junk junk junk junk junk junk junk junk\n";
        }
        console::clrscr();
        std::cout << "X";
    } else if (scene == "goto") {
        console::clrscr();
        console::gotoxy(11, 8);
        std::cout << "A";
        console::gotoxy(30, 11);
        std::cout << "B";
        console::gotoxy(81, 1);  // off the screen: ignored
        console::gotoxy(0, 5);
        console::gotoxy(5, 0);
        console::gotoxy(1, 25);
        std::cout << "C";
        console::gotoxy(1, 20);
        std::cout << "\tT";
        console::gotoxy(80, 1);
        std::cout << "E";
        console::gotoxy(5, 3);
    } else if (scene == "order") {
        console::clrscr();
        std::cout << "out";
        std::cerr << "ERR";
        std::cout << "put";
        console::gotoxy(1, 3);
        std::cout << "row three";
        std::cerr << "!";
        std::cout << std::endl;
    } else {
        return 2;
    }
    console::getch();
    return 0;
}
