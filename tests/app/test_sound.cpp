#include <canberra.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/sound.h"

using kev::app::SoundPlayer;

// ALSA's default device writes into a file here, so the test hears what
// would have reached the speaker.
class SoundTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void playsTheFileOrElseTheBell();

 private:
  QByteArray Played() const;
  void WriteWave(const QString& path, const QByteArray& samples) const;

  QTemporaryDir home_;
};

void SoundTest::initTestCase() {
  QVERIFY(home_.isValid());
  QFile rc(home_.filePath(".asoundrc"));
  QVERIFY(rc.open(QIODevice::WriteOnly));
  rc.write(QString("pcm.!default { type file; slave.pcm \"null\"; file \"%1\"; format \"raw\" }\n")
               .arg(home_.filePath("played.raw"))
               .toUtf8());
  rc.close();
  qputenv("HOME", home_.path().toUtf8());
  qputenv("CANBERRA_DRIVER", "alsa");

  ca_context* probe = nullptr;
  const bool alsa = ca_context_create(&probe) == CA_SUCCESS && ca_context_open(probe) == CA_SUCCESS;
  if (probe != nullptr) ca_context_destroy(probe);
  if (!alsa) QSKIP("no ALSA output for the sound library");
}

QByteArray SoundTest::Played() const {
  QFile f(home_.filePath("played.raw"));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// 16-bit mono PCM at 8000 Hz.
void SoundTest::WriteWave(const QString& path, const QByteArray& samples) const {
  QByteArray wav;
  QDataStream out(&wav, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  const auto size = static_cast<quint32>(samples.size());
  out.writeRawData("RIFF", 4);
  out << quint32(36 + size);
  out.writeRawData("WAVEfmt ", 8);
  out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2)
      << quint16(16);
  out.writeRawData("data", 4);
  out << size;
  out.writeRawData(samples.constData(), static_cast<int>(samples.size()));
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(wav);
}

void SoundTest::playsTheFileOrElseTheBell() {
  QByteArray samples;
  for (int i = 0; i < 3200; ++i) samples.append(static_cast<char>(i * 37 % 251));
  const QString wave = home_.filePath("warning.wav");
  WriteWave(wave, samples);

  SoundPlayer player;
  player.Play(wave.toStdString());
  QTRY_VERIFY_WITH_TIMEOUT(Played().contains(samples), 5000);

  QFile::remove(home_.filePath("played.raw"));
  player.Play(home_.filePath("missing.wav").toStdString());
  QTRY_VERIFY_WITH_TIMEOUT(Played().size() > 1000, 5000);
  QVERIFY(!Played().contains(samples));
}

QTEST_GUILESS_MAIN(SoundTest)
#include "test_sound.moc"
