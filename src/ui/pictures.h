// The program's pictures, drawn at run time: the twelve main buttons, the
// splash screen and the wizard picture share one palette and one flat style.
// This file is their source.
#pragma once
#include <windows.h>

enum class Picture {
  Installer, Enregistrer, Configurer, Optimiser,
  Desinstaller, Comparer, Rapport, Nettoyer,
  Sauvegarder, Restaurer, Archiver, Quitter,
  Splash, Wizard,
};

// A new bitmap of the picture at that size; the caller deletes it.
HBITMAP MakePicture(Picture picture, int width, int height);
// Draws the picture into a rectangle of a device context.
void DrawPicture(HDC dc, Picture picture, const RECT& area);
