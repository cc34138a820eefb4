#include "LauncherScript.h"

#include "engine/Log.h"

#include <dialoghooks.h>

#include <fstream>
#include <sstream>
#include <vector>

bool QueueLauncherScript(const std::string& file) {
    using platform::DialogStep;
    std::ifstream in(file);
    if (!in) {
        g_Log.PrintBold("red", "[PRELOADER] Error: couldn't read launcher script %s", file.c_str());
        return false;
    }
    std::vector<DialogStep> steps;
    std::vector<std::string> answers;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string command;
        if (!(words >> command) || command[0] == '#') continue;
        int id = 0, index = 0;
        std::string rest;
        bool ok = true;
        if (command == "press" && (words >> id))
            steps.push_back(DialogStep::Press(id));
        else if (command == "list" && (words >> id >> index))
            steps.push_back(DialogStep::SelectList(id, index));
        else if (command == "combo" && (words >> id >> index))
            steps.push_back(DialogStep::SelectCombo(id, index));
        else if (command == "close")
            steps.push_back(DialogStep::Close());
        else if (command == "escape")
            steps.push_back(DialogStep::Escape());
        else if ((command == "file" || command == "shot") && std::getline(words >> std::ws, rest) && !rest.empty()) {
            if (command == "file")
                answers.push_back(rest == "cancel" ? std::string() : rest);
            else
                steps.push_back(DialogStep::Call([rest](HWND dialog) {
                    if (!platform::SaveDialogScreenshot(dialog, rest))
                        g_Log.PrintBold("red", "[PRELOADER] Error: couldn't save %s", rest.c_str());
                }));
        } else {
            ok = false;
        }
        if (!ok) {
            g_Log.PrintBold("red", "[PRELOADER] Error: launcher script %s line %d not understood", file.c_str(), number);
            return false;
        }
    }
    for (const std::string& a : answers) platform::QueueFileChooserAnswer(a);
    platform::QueueDialogSteps(steps);
    return true;
}
