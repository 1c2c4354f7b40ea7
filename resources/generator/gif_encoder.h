#pragma once
// Minimal GIF89a writer for looping animations with one shared 256-colour palette.
#include <QByteArray>
#include <QImage>
#include <vector>

QByteArray encode_looping_gif(const std::vector<QImage>& frames, int delay_centiseconds);
