// The sound of a recording: which of the asked sources open, the audio
// encoder each container gets (AAC; MP3 in AVI; Opus in WEBM) and the texts
// that tell the user what could not be recorded.

#include "recorder/audiocapture.h"
#include "recorder/audiomixer.h"
#include "recorder/encodeworker.h"
#include "recorder/screenrecorder.h"

#include <QTime>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace {

constexpr int64_t audioBitRate = 128000;

const AVCodec *audioEncoderFor(OutputFormat format)
{
    switch (format) {
    case AVI:
        return avcodec_find_encoder_by_name("libmp3lame");
    case WEBM:
        return avcodec_find_encoder_by_name("libopus");
    case MP4:
    case MOV:
    case MKV:
    case FLV:
        break;
    }
    return avcodec_find_encoder(AV_CODEC_ID_AAC);
}

// The first of the formats the mixer writes that the encoder takes.
AVSampleFormat sampleFormatFor(const AVCodec *codec)
{
    for (AVSampleFormat wanted : {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_S16}) {
        if (codec->sample_fmts == nullptr)
            return wanted;
        for (const AVSampleFormat *f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
            if (*f == wanted)
                return wanted;
        }
    }
    return AV_SAMPLE_FMT_NONE;
}

QString clockText(qint64 ms)
{
    return QTime(0, 0).addMSecs(int(ms)).toString(QStringLiteral("hh:mm:ss"));
}

} // namespace

bool ScreenRecorder::recordsMicrophone() const
{
    return recording && audio && audio->isOpen(AudioCapture::Microphone);
}

bool ScreenRecorder::recordsSystemAudio() const
{
    return recording && audio && audio->isOpen(AudioCapture::SystemAudio);
}

float ScreenRecorder::microphoneLevel()
{
    return recordsMicrophone() ? audio->level(AudioCapture::Microphone) : 0.0f;
}

float ScreenRecorder::systemAudioLevel()
{
    return recordsSystemAudio() ? audio->level(AudioCapture::SystemAudio) : 0.0f;
}

void ScreenRecorder::openAudio()
{
    audio.reset();
    startAudioProblem.clear();
    if (!config.recordMicrophone && !config.recordSystemAudio)
        return;
    auto capture = std::make_unique<AudioCapture>();
    const bool any = capture->open(config.recordMicrophone, config.recordSystemAudio);
    startAudioProblem = audioOpenProblems(*capture);
    if (!startAudioProblem.isEmpty())
        qWarning().noquote() << startAudioProblem;
    if (any)
        audio = std::move(capture);
}

QString ScreenRecorder::audioOpenProblems(const AudioCapture &capture) const
{
    QStringList lines;
    for (auto source : {AudioCapture::Microphone, AudioCapture::SystemAudio}) {
        const bool microphone = source == AudioCapture::Microphone;
        QString reason;
        switch (capture.failure(source)) {
        case AudioCapture::Failure::None:
        case AudioCapture::Failure::NotAsked:
            continue;
        case AudioCapture::Failure::NoServer:
            reason = tr("没有可用的声音服务器");
            break;
        case AudioCapture::Failure::NoDevice:
            reason = microphone ? tr("没有默认输入设备") : tr("没有默认输出设备");
            break;
        case AudioCapture::Failure::Refused:
            reason = tr("声音服务器拒绝录制: %1").arg(capture.failureDetail(source));
            break;
        }
        lines << (microphone ? tr("无法录制麦克风（%1），本次录制不含麦克风声音。")
                             : tr("无法录制系统音频（%1），本次录制不含系统音频。"))
                     .arg(reason);
    }
    return lines.join(QLatin1Char('\n'));
}

QString ScreenRecorder::audioLostProblems(qint64 microphoneLostMs, qint64 systemLostMs) const
{
    QStringList lines;
    if (microphoneLostMs >= 0)
        lines << tr("录制到 %1 时失去了麦克风，之后的部分没有麦克风声音。")
                     .arg(clockText(microphoneLostMs));
    if (systemLostMs >= 0)
        lines << tr("录制到 %1 时失去了系统音频，之后的部分没有系统音频。")
                     .arg(clockText(systemLostMs));
    return lines.join(QLatin1Char('\n'));
}

bool ScreenRecorder::createAudioEncoder()
{
    if (!audio)
        return true;
    const AVCodec *encoder = audioEncoderFor(config.format);
    if (encoder == nullptr)
        return setupFailed(QT_TR_NOOP("无法找到音频编码器"));
    const AVSampleFormat sampleFormat = sampleFormatFor(encoder);
    if (sampleFormat == AV_SAMPLE_FMT_NONE)
        return setupFailed(QT_TR_NOOP("无法找到音频编码器"));
    audioStream = avformat_new_stream(formatContext, nullptr);
    if (audioStream == nullptr)
        return setupFailed(QT_TR_NOOP("无法创建音频流"));
    audioCodecContext = avcodec_alloc_context3(encoder);
    if (audioCodecContext == nullptr)
        return setupFailed(QT_TR_NOOP("无法打开音频编码器"));

    audioCodecContext->sample_fmt = sampleFormat;
    audioCodecContext->sample_rate = AudioMixer::sampleRate;
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (const int ret = av_channel_layout_copy(&audioCodecContext->ch_layout, &stereo); ret < 0)
        return setupFailed(QT_TR_NOOP("无法打开音频编码器"), ret);
    audioCodecContext->bit_rate = audioBitRate;
    audioCodecContext->time_base = AVRational{1, AudioMixer::sampleRate};
    if (formatContext->oformat->flags & AVFMT_GLOBALHEADER)
        audioCodecContext->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int ret = EncodeWorker::openCodec(audioCodecContext, encoder); ret < 0)
        return setupFailed(QT_TR_NOOP("无法打开音频编码器"), ret);
    audioStream->time_base = audioCodecContext->time_base;
    if (const int ret = avcodec_parameters_from_context(audioStream->codecpar, audioCodecContext);
        ret < 0)
        return setupFailed(QT_TR_NOOP("无法打开音频编码器"), ret);
    return true;
}

void ScreenRecorder::startAudio()
{
    if (!audio || !worker || audioCodecContext == nullptr)
        return;
    // Encoders that take any frame size report 0; a 20 ms frame then.
    const int frameSize =
        audioCodecContext->frame_size > 0 ? audioCodecContext->frame_size : AudioMixer::sampleRate / 50;
    EncodeWorker *target = worker.get();
    audio->start(recordingClock, frameSize, audioCodecContext->sample_fmt,
                 [target](AVFrame *frame) { target->submitAudio(frame); });
}
