#include "soundplayer.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

namespace {
bool recording = false;
QStringList played;
} // namespace

void SoundPlayer::play(const QString &resource)
{
    if (recording) {
        played << resource;
        return;
    }
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    // QSound cannot read a resource path here; a sound effect can, through the qrc scheme. One effect
    // per sound, owned by the application object so that it goes before the audio backend does.
    static QHash<QString, QPointer<QSoundEffect>> effects;
    QPointer<QSoundEffect> &effect = effects[resource];
    if (!effect) {
        effect = new QSoundEffect(app);
        effect->setSource(QUrl(QStringLiteral("qrc") + resource));
    }
    effect->play();
}

void SoundPlayer::startRecording()
{
    recording = true;
    played.clear();
}

void SoundPlayer::stopRecording()
{
    recording = false;
    played.clear();
}

QStringList SoundPlayer::recorded()
{
    return played;
}
