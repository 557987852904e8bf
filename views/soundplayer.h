#ifndef SOUNDPLAYER_H
#define SOUNDPLAYER_H

#include <QString>
#include <QStringList>

// Plays the program's short notification sounds. Tests switch it to recording: nothing is played
// then, and every request is kept, in order, to be read back.
class SoundPlayer
{
public:
    // Plays an embedded sound given by its resource path (":/resources/message.wav").
    static void play(const QString &resource);

    static void startRecording();
    static void stopRecording();
    static QStringList recorded();

private:
    SoundPlayer() = delete;
};

#endif // SOUNDPLAYER_H
