#pragma once

#include <memory>

class IGraphics;
class IPlugBase;

// Makes the window layer a plug-in's editor runs in: this system's own (a Windows or an X11
// window), or whatever a test or tool has put in its place. Null when the build has no window
// layer: the plug-in then reports no editor to its host.
using GraphicsFactory = std::unique_ptr<IGraphics> (*)(IPlugBase* plug, int width, int height);

std::unique_ptr<IGraphics> MakeGraphics(IPlugBase* plug, int width, int height);

// Replaces this process's factory, for tests and tools (the headless layer); null restores the
// system's. Set it before constructing the plug-ins that should use it.
void SetGraphicsFactory(GraphicsFactory factory);

// The system's window layer: platform/win/WindowFactory.cpp, platform/x11/MakeX11Graphics.cpp.
std::unique_ptr<IGraphics> MakePlatformGraphics(IPlugBase* plug, int width, int height);
