#pragma once

namespace Core {
namespace Constants {

// Contexts
const char C_GLOBAL[] = "Global Context";

// Menubar
const char MENU_BAR[] = "QtCreator.MenuBar";

// Menus
const char M_FILE[] = "QtCreator.Menu.File";
const char M_EDIT[] = "QtCreator.Menu.Edit";
const char M_TOOLS[] = "QtCreator.Menu.Tools";
const char M_TOOLS_EXTERNAL[] = "QtCreator.Menu.Tools.External";
const char M_WINDOW[] = "QtCreator.Menu.Window";
const char M_HELP[] = "QtCreator.Menu.Help";

// Default groups
const char G_DEFAULT_ONE[] = "QtCreator.Group.Default.One";
const char G_DEFAULT_TWO[] = "QtCreator.Group.Default.Two";
const char G_DEFAULT_THREE[] = "QtCreator.Group.Default.Three";

// Main menu bar groups
const char G_FILE[] = "QtCreator.Group.File";
const char G_EDIT[] = "QtCreator.Group.Edit";
const char G_VIEW[] = "QtCreator.Group.View";
const char G_TOOLS[] = "QtCreator.Group.Tools";
const char G_WINDOW[] = "QtCreator.Group.Window";
const char G_HELP[] = "QtCreator.Group.Help";

// File menu groups
const char G_FILE_NEW[] = "QtCreator.Group.File.New";
const char G_FILE_OPEN[] = "QtCreator.Group.File.Open";
const char G_FILE_PROJECT[] = "QtCreator.Group.File.Project";
const char G_FILE_CLOSE[] = "QtCreator.Group.File.Close";
const char G_FILE_OTHER[] = "QtCreator.Group.File.Other";

// Tools menu groups
const char G_TOOLS_OPTIONS[] = "QtCreator.Group.Tools.Options";

// Help groups
const char G_HELP_ABOUT[] = "QtCreator.Group.Help.About";

// Actions
const char EXIT[] = "QtCreator.Exit";
const char OPTIONS[] = "QtCreator.Options";
const char ABOUT_QTCREATOR[] = "QtCreator.AboutQtCreator";

const char IDE_DISPLAY_NAME[] = "Kelvara IDE";
const char IDE_VERSION_LONG[] = "4.15.2";

} // namespace Constants
} // namespace Core
