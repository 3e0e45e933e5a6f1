// Placeholder overlay module: the drawers draw nothing yet.
#include "render/Overlay.h"

uint32_t FontListBase = 0;

void Begin2D() {}
void End2D() {}
void SetOrthoProjection() {}
void RestorePerspective() {}
void DrawSpriteAdditive(TextureId, const ColorRGBA&, float, float, float, float, float) {}
void DrawSpriteBlended(TextureId, float, float, float, float, float) {}
void DrawImage(TextureId, const ColorRGBA&, float, float, float, float) {}
void DrawImageAdditive(TextureId, const ColorRGBA&, float, float, float, float) {}
void DrawPicture(TextureId, float, float, float, float) {}
void DrawInvertRect(const ColorRGBA&, float, float, float, float) {}
void DrawRect(const ColorRGBA&, float, float, float, float) {}
void DrawRectAdditive(const ColorRGBA&, float, float, float, float) {}
void GetBillboardAxes(Vector3&, Vector3&) {}
void DrawBillboard(const Vector3&, float) {}
uint32_t BuildFont(const char*, int, bool) { return 0; }
