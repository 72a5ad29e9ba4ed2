#pragma once

// Names, version, style and icon of the application, before its first window.
void PrepareApplication();
