// The timed show's frame: beat clock, scene dispatch, point fields, pulse overlays, the ending.
#pragma once

// Draws one complete frame for ShowTime, presents it and polls the keyboard.
void DrawShowFrame();
