// Small programs on the console layer, one per scene, for the tests that need
// a real terminal. Each reports what it read, one number a line, on
// descriptor 3 when the test opened it.

#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

#include "apstring.h"
#include "console.h"

namespace {

void report(int value) {
    dprintf(3, "%d\n", value);
}

// Reports each key until 'q' or the end of the terminal (-1).
void keys() {
    for (;;) {
        const int code = console::getch();
        report(code);
        if (code == 'q' || code == -1) {
            return;
        }
    }
}

// For each standard descriptor, 1 when it is a pipe (the console's wake
// pipe where a closed one was), then the first key (-1: input is over) after
// a signal that writes to that pipe.
void descriptors() {
    for (int fd = 0; fd <= 2; fd++) {
        struct stat status {};
        report(fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode) ? 1 : 0);
    }
    raise(SIGWINCH);
    report(console::getch());
}

// Line reads and key reads taking turns on one terminal.
void lines() {
    int number = 0;
    console::read_number(std::cin, number);
    report(number);
    report(console::getch());
    console::read_number(std::cin, number);
    report(number);
}

bool draw(const std::string& scene) {
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
        return false;
    }
    console::getch();
    return true;
}

int run(const std::string& scene) {
    console::start();
    if (scene == "keys") {
        keys();
    } else if (scene == "descriptors") {
        descriptors();
    } else if (scene == "lines") {
        lines();
    } else if (scene == "status3") {
        const apstring text("abc");
        report(text[3]);
    } else if (scene == "throw") {
        throw std::runtime_error("nobody catches this");
    } else if (!draw(scene)) {
        return 2;
    }
    return 0;
}

// Runs the scene as a shell runs a job: in a process group of its own, so
// that stop signals stop it. In the foreground the job owns the terminal
// from the start; in the background it gets it, as with fg, once it has
// stopped. Reports the scene's pid, then -2 each time it stops; ends with
// the scene's status.
int as_job(const std::string& scene, bool foreground) {
    const pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        while (foreground && tcgetpgrp(STDIN_FILENO) != getpgrp()) {
            usleep(1000);
        }
        std::exit(run(scene));  // through the exit handlers, as a program ends
    }
    setpgid(job, job);
    signal(SIGTTOU, SIG_IGN);
    if (foreground) {
        tcsetpgrp(STDIN_FILENO, job);
    }
    report(job);
    for (;;) {
        int status = 0;
        if (waitpid(job, &status, WUNTRACED) != job) {
            return 1;
        }
        if (WIFSTOPPED(status)) {
            report(-2);
            if (!foreground) {
                foreground = true;
                tcsetpgrp(STDIN_FILENO, job);
                kill(job, SIGCONT);
            }
        } else {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }
}

}  // namespace

// The "throw" scene lets an exception out of main on purpose.
int main(int argc, char** argv) {  // NOLINT(bugprone-exception-escape)
    const std::string first = argc > 1 ? argv[1] : "";
    if ((first == "job" || first == "background") && argc > 2) {
        return as_job(argv[2], first == "job");
    }
    return run(first);
}
