#pragma once

#include <functional>

// The system's alert sounds, numbered as the platform's message-beep types.
enum class AlertSound { Hand = 0x10, Exclamation = 0x30, Asterisk = 0x40 };

// Plays the desktop's sound for the alert where the sound theme player is installed, else the
// bell. Tests replace the player with a recorder (an empty function restores the default).
void PlayAlertSound(AlertSound sound);
using AlertSoundPlayer = std::function<void(AlertSound)>;
void SetAlertSoundPlayer(AlertSoundPlayer player);
