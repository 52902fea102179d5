// The recording player's windows: the frame ("DVR Frame") with its menu, the playlist box,
// the player view ("DVR Player"), the bottom bar with its buttons and position bar, and the
// management dialog ("DVRFile"). The play logic itself is in record/player.h.
#pragma once
#include "platform/window.h"

struct PanoView;

namespace orb {

struct PlayerState;

constexpr const char* kPlayerFrameClass = "DVR Frame";
constexpr const char* kPlayerViewClass = "DVR Player";
constexpr const char* kPlayerBarClass = "Orbiscope DVR Bar";
constexpr const char* kPlaylistClass = "Orbiscope DVR Playlist";
constexpr const char* kPositionBarClass = "msctls_trackbar32";
constexpr int kPositionBarId = 1702;
constexpr int kPlaylistHeight = 22, kBottomBarHeight = 30, kPositionBarX = 285;

// Plugs the player's windows into the player (frame, view, bar, dialog hooks).
void InstallPlayerWindow(PlayerState& p);

// The player's windows while it is open (null otherwise).
struct PlayerWindows {
    HWND frame = nullptr, view = nullptr, bar = nullptr, playlist = nullptr, position = nullptr;
    HWND play = nullptr, pause = nullptr;
    HWND management = nullptr;
};
const PlayerWindows& ThePlayerWindows();
PlayerWindows& MutablePlayerWindows();

}  // namespace orb
