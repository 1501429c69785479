// The audio path of the rhythm machine: MIDI input, the one-millisecond sub-block grid, the clock,
// voice dispatch and the mix. Runs on the host's audio thread with the plug-in mutex held by the
// processing frame; nothing here allocates.
#include <algorithm>

#include "editor/IGraphics.h"
#include "engine/Rhythmoria.h"

namespace {

constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;

bool IsNote(const IMidiMessage& msg) {
  const int kind = msg.StatusNibble();
  return kind == 0x8 || kind == 0x9;
}

}  // namespace

void Rhythmoria::OnMidiMessage(const IMidiMessage& msg) {
  ScopedLock lock(mMutex);
  if (mMidiThru) SendOrKeepForHost(msg, msg.mOffset);
  switch (msg.StatusNibble()) {
    case 0x8:
      mMidiInputQueue.Add(msg);
      break;
    case 0x9: {
      IMidiMessage note = msg;
      if (note.mData2 == 0) note.mStatus = kNoteOff;
      mMidiInputQueue.Add(note);
      break;
    }
    case 0xB:
      if (msg.mData1 < kNumMappableControllers) {
        if (!LearnController(msg.mData1)) mMidiInputQueue.Add(msg);
      } else if (msg.mData1 == kAllSoundOff || msg.mData1 == kAllNotesOff) {
        Panic();
      }
      break;
    case 0xC:
      if (!mIgnoreProgramChange) ProgramChangeFromMidi(msg.mData1);
      break;
    default:
      break;
  }
}

void Rhythmoria::ProcessAudio(double** /*inputs*/, double** outputs, int nFrames) {
  if (nFrames <= 0) return;
  mBlockSample = 0;
  mInsideBlock = true;
  // The frame may render a long host block in pieces; what the host is sent counts from the
  // start of its own block. Called without the frame, the piece is the block.
  if (HostBlockOffset() == 0) {
    SendPendingHostMessages(HostBlockLength() > 0 ? HostBlockLength() : nFrames);
  }
  if (mSequencer.tempoSync) {
    ITransportInfo info;
    info.mTempo = 120.0;
    info.mSamplePos = -1.0;
    info.mPPQPos = -1.0;
    info.mTransportIsRunning = false;
    GetTransportInfo(&info);
    mSequencer.HostSync(info, GetHostTempo());
  }
  for (int c = 0; c < kNumOutputs; ++c) std::fill(outputs[c], outputs[c] + nFrames, 0.0);

  const int period = std::max(mMsPeriod, 1);
  int last = 0;
  int position = 0;
  while (position < nFrames) {
    const int remaining = nFrames - position;
    int length;
    if (mMsCountdown <= 0) {
      DrainInputQueue(last);
      if (remaining >= period) {
        length = period;
      } else {
        length = remaining;
        mMsCountdown = period - remaining;
      }
    } else if (mMsCountdown < remaining) {
      length = mMsCountdown;
      mMsCountdown = 0;
    } else {
      length = remaining;
      mMsCountdown -= remaining;
    }
    mSampleCounter += static_cast<std::uint32_t>(length);
    last = length;

    for (int j = 0; j < length; ++j) {
      mBlockSample = position + j;
      mSequencer.ClockStep();
      while (!mEventList.Empty() && mEventList.Front().mOffset <= j) {
        const IMidiMessage event = mEventList.Front();
        mEventList.Pop();
        DispatchEvent(event);
      }
      MixSample(outputs, position + j);
    }
    position += length;
  }
  mInsideBlock = false;
}

// Voices are reached through their concrete classes here, so the per-sample test of a silent
// voice is a field read rather than a virtual call.
template <typename Voice>
inline void Rhythmoria::MixVoice(Voice& voice, int k, double** outputs, int j, double& sumL,
                                 double& sumR) {
  if (!voice.isActive()) return;
  const double s = voice.process();
  const double left = (1.0 - voice.pan) * s;
  const double right = voice.pan * s;
  if (mToSum[static_cast<std::size_t>(k)] == 1) {
    sumL += left;
    sumR += right;
  }
  const int extra = mExtraOutput[static_cast<std::size_t>(k)];
  if (extra >= 1 && extra <= kNumExtraOutputs) {
    outputs[2 * extra][j] = left;
    outputs[2 * extra + 1][j] = right;
  }
}

void Rhythmoria::MixSample(double** outputs, int j) {
  double sumL = 0.0;
  double sumR = 0.0;
  // In instrument order: of several voices written to one extra output, the last one stands.
  MixVoice(mBaseDrum, kBase, outputs, j, sumL, sumR);
  MixVoice(mSnare1, kSnare1, outputs, j, sumL, sumR);
  MixVoice(mSnare2, kSnare2, outputs, j, sumL, sumR);
  MixVoice(mSmallBongo, kSmallBongo, outputs, j, sumL, sumR);
  MixVoice(mLargeBongo, kLargeBongo, outputs, j, sumL, sumR);
  MixVoice(mConga, kConga, outputs, j, sumL, sumR);
  MixVoice(mCowbell, kCowbell, outputs, j, sumL, sumR);
  MixVoice(mClaves, kClaves, outputs, j, sumL, sumR);
  MixVoice(mHihat, kHihat, outputs, j, sumL, sumR);
  MixVoice(mRimshot, kRimshot, outputs, j, sumL, sumR);
  MixVoice(mCymbal1, kCymbal1, outputs, j, sumL, sumR);
  MixVoice(mCymbal2, kCymbal2, outputs, j, sumL, sumR);
  MixVoice(mTambourine, kTambourine, outputs, j, sumL, sumR);
  MixVoice(mGuiro, kGuiro, outputs, j, sumL, sumR);
  MixVoice(mQuijada, kQuijada, outputs, j, sumL, sumR);
  outputs[0][j] = sumL * mVolumeGain;
  outputs[1][j] = sumR * mVolumeGain;
}

void Rhythmoria::DrainInputQueue(int limit) {
  while (mMidiInputQueue.HasUnread() && mMidiInputQueue.NextUnread().mOffset < limit) {
    IMidiMessage msg = mMidiInputQueue.NextUnread();
    mMidiInputQueue.MarkRead();
    if (IsNote(msg)) {
      if (msg.mData2 == 0) msg.mStatus = kNoteOff;
      mEventList.Push(msg);  // dropped when full
    } else if (msg.StatusNibble() == 0xB) {
      const int target = ControllerTarget(msg.mData1);
      const double value = msg.mData2 / 127.0;
      if (const IParameter* param = GetParam(target)) {
        if (param->GetNormalizedValue() != value) {
          SetParamFromEditor(target, value);
          if (IGraphics* gui = GetGUI()) gui->SetControlsFromParameter(target, value, true);
        }
      } else if (target == kPlaySwitchTarget) {
        mSequencer.StartStop(value);
      }
    }
  }
  mMidiInputQueue.DropReadAndShift(std::max(mMsPeriod, 1));
}

void Rhythmoria::DispatchEvent(const IMidiMessage& msg) {
  // Data 1 is an unsigned byte, so a voice whose note is -1 or above 255 is never matched.
  const int note = msg.mData1;
  if (msg.StatusNibble() == 0x8) {
    mHeldNotes.Clear(note);
    for (Instrument* voice : mVoices) {
      if (voice->note == note) voice->release();
    }
  } else {
    for (Instrument* voice : mVoices) {
      if (voice->note == note) voice->trigger(SampleCounter());
    }
    mHeldNotes.Set(note, msg.mData2);
  }
}

void Rhythmoria::StepNote(int voice, bool noteOn, int queueOffset) {
  const Instrument& v = *mVoices[static_cast<std::size_t>(voice)];
  const auto note = static_cast<std::uint8_t>(v.note & 0xFF);
  const auto velocity = static_cast<std::uint8_t>(noteOn ? (v.velocity & 0xFF) : 0);
  // The host hears the note at the sample where the tick fired; the voices keep the queue's own
  // timing on the millisecond grid.
  SendNoteToHost(voice, noteOn,
                 noteOn || queueOffset == 0 ? mBlockSample : mBlockSample + queueOffset);
  mMidiInputQueue.Add(IMidiMessage(queueOffset, noteOn ? kNoteOn : kNoteOff, note, velocity));
}

void Rhythmoria::HostNoteOff(int voice) {
  SendNoteToHost(voice, false, mBlockSample);
}

void Rhythmoria::SendNoteToHost(int voice, bool noteOn, int blockOffset) {
  const Instrument& v = *mVoices[static_cast<std::size_t>(voice)];
  // Note numbers outside 0..127 exist for the voices only; they are not MIDI.
  if (v.note < 0 || v.note > 127) return;
  const auto note = static_cast<std::uint8_t>(v.note);
  const auto velocity = static_cast<std::uint8_t>(noteOn ? std::clamp(v.velocity, 0, 127) : 0);
  // Outside a block the position of the last one means nothing: such a note starts the next.
  const std::int64_t at = mInsideBlock ? std::int64_t{HostBlockOffset()} + blockOffset : 0;
  SendOrKeepForHost(IMidiMessage(0, noteOn ? kNoteOn : kNoteOff, note, velocity), at);
}

void Rhythmoria::SendOrKeepForHost(IMidiMessage msg, std::int64_t samplesFromBlockStart) {
  if (mInsideBlock && samplesFromBlockStart < mCurrentBlockLength) {
    msg.mOffset = static_cast<std::int32_t>(std::max<std::int64_t>(samplesFromBlockStart, 0));
    SendMidiToHost(msg);
    return;
  }
  if (mNumPendingHostMessages == kMaxPendingHostMessages) {
    // Never lose a note-off: send it late rather than leave a note hanging at the host.
    msg.mOffset = mInsideBlock ? std::max(mCurrentBlockLength - 1, 0) : 0;
    SendMidiToHost(msg);
    return;
  }
  const std::int64_t ahead =
      mInsideBlock ? samplesFromBlockStart - mCurrentBlockLength : samplesFromBlockStart;
  mPendingHostMessages[static_cast<std::size_t>(mNumPendingHostMessages++)] = {
      msg, std::max<std::int64_t>(ahead, 0)};
}

void Rhythmoria::SendPendingHostMessages(int nFrames) {
  mCurrentBlockLength = nFrames;
  int kept = 0;
  for (int i = 0; i < mNumPendingHostMessages; ++i) {
    PendingHostMessage pending = mPendingHostMessages[static_cast<std::size_t>(i)];
    if (pending.samplesAhead < nFrames) {
      pending.msg.mOffset = static_cast<std::int32_t>(pending.samplesAhead);
      SendMidiToHost(pending.msg);
    } else {
      pending.samplesAhead -= nFrames;
      mPendingHostMessages[static_cast<std::size_t>(kept++)] = pending;
    }
  }
  mNumPendingHostMessages = kept;
}
