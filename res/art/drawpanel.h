#pragma once

#include <QString>

// Writes Talvex.properties and its pictures (in bmp/) into dir.
void DrawPanel(const QString& dir);
