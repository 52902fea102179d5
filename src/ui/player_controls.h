// The player's bottom bar pieces: button pictures, the bar and the position bar.
#pragma once
#include <vector>

#include "orbiscope.h"
#include "platform/window.h"

namespace orb {

enum class PlayerGlyph { Play, Pause, Backward, Previous, Next, Forward, Playlist, Snap, Stop, Speed };
// A button of the bar: picture, place in the bar, command and tool-tip text.
struct PlayerButton {
    PlayerGlyph glyph;
    int x, y;
    int command;
    int tip;
};
const std::vector<PlayerButton>& PlayerButtons();
// Four pictures of size x size stacked (normal, mouse over, pressed, disabled).
HDIB MakePlayerButtonPicture(PlayerGlyph glyph, int size);
HWND CreatePlayerButton(HWND bar, const PlayerButton& b);

LRESULT PlayerBarProc(HWND, uint32_t, WPARAM, LPARAM);
LRESULT PositionBarProc(HWND, uint32_t, WPARAM, LPARAM);

}  // namespace orb
