#pragma once
// TAboutBox: product, version, copyright and a few words from the makers.
// The main window hands over the texts before each showing; the box
// composes its labels and comment lines when it becomes active and clears
// them when it closes.

#include <string>

#include "gui/controls.h"

class TAboutBox : public gui::Form {
public:
    TAboutBox();

    gui::Panel* Panel1;
    gui::Image* ProgramIcon;
    gui::Label* ProductName;
    gui::Label* Version;
    gui::Label* Copyright;
    gui::Memo* mmoComments;
    gui::Button* OKButton;

    std::string ProductText;
    std::string VersionText;
    std::string CopyrightText;
    std::string GreetingText;  // lines ended by CR
    std::string CommentText;

    void FormActivate();
    void OKButtonClick();
    void FormClose();
};

// The texts the main window gives the box.
namespace about {
inline constexpr const char* kProduct = "Tarsio";
inline constexpr const char* kVersion = " 1.1.0, 28JAN2002";
inline constexpr const char* kCopyright = " (C) 2002-2026 The Tarsio developers";
inline constexpr const char* kGreeting =
    "Thank you for using Tarsio, the tool for NTFS junctions.\r"
    "Questions, bugs and ideas are welcome, write to\r"
    "      tarsio@example.org\r"
    "\r";
inline constexpr const char* kComment =
    "Tell us which junctions you keep and what to do better,\r"
    "so that the next version does it for you.\r ";
}  // namespace about
