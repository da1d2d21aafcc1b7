// The program's colours: View > Theme picks the system's, a light or a dark
// one. Light and Dark use the Fusion style with its own palette or a dark
// one; System gives back the style and palette Qt started with (on Qt 6.5
// and later, dark when the desktop's colour scheme is dark and the palette
// Qt gives is not). The graphs follow the palette of their window: a dark
// plot area with light axes, ticks and labels on a dark palette, QCustomPlot's
// own white and black otherwise; their traces and cursors keep their colours.
// Controls that set their own colours (the start-up's white-on-blue info
// texts) keep them.
#pragma once

#include <QString>

class QCustomPlot;
class QPalette;

namespace theme {

enum class Theme { System, Light, Dark };

// "system", "light", "dark": how the settings keep it; unknown text: System.
QString themeName(Theme theme);
Theme themeNamed(const QString &name);

// Remembers the style and palette Qt started with (once) and applies
// `theme` to the whole application, graphs included.
void applyTheme(Theme theme);
Theme currentTheme();

// The dark palette of Dark.
QPalette darkPalette();

// The graph's plot area, axes and grid for the palette it has now.
void paintPlot(QCustomPlot *plot);

} // namespace theme

// For WinMain: View > Theme ("System", "Light", "Dark", one checked) on the
// main panel's window, the theme of the settings applied at once and each
// choice kept there.
void AttachTheme(int panel);
