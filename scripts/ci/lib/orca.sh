# shellcheck shell=bash
# Sourced by the CI check and the benchmark that run the Orca screen reader, after common.sh. Not a
# check itself: .ci/run runs only scripts/ci/*.sh. Orca speaks through speech-dispatcher, whose
# generic module appends each utterance, one a line, to a log instead of sounding it; audio, were
# there any, goes to ALSA's null device.

install_orca_packages() {
  install_missing orca speech-dispatcher xdotool
}

# speech-dispatcher's settings in DIR, every utterance appended to LOG; with "stamped", each after
# the seconds since 1970 at which it was said.
speech_settings() { # dir log [stamped]
  local format='%s' stamp=''
  if [[ "${3:-}" == stamped ]]; then
    format='%s %s'
    stamp='\"$(date +%s.%N)\" '
  fi
  mkdir -p "$1/modules"
  cat >"$1/speechd.conf" <<EOF
AudioOutputMethod "alsa"
AudioALSADevice "null"
AddModule "log" "sd_generic" "log.conf"
DefaultModule log
DefaultLanguage "en"
SymbolsPreproc "char"
SymbolsPreprocFile "symbols.dic"
SymbolsPreprocFile "orca.dic"
SymbolsPreprocFile "orca-chars.dic"
EOF
  # Not cut at 300 characters, as the module would: one utterance, one line.
  cat >"$1/modules/log.conf" <<EOF
GenericExecuteSynth "printf '$format\\\\n' $stamp\\'\$DATA\\' >>$2"
GenericMaxChunkLength 1000000
AddVoice "en" "MALE1" "log"
GenericLanguage "en" "en" "utf-8"
EOF
}

# On the session bus and display of the environment, with its XDG folders: starts speech-dispatcher
# with the settings in $XDG_CONFIG_HOME, logging what is said to LOG (stamped, if asked), then Orca.
# Their process ids in $speechd_pid and $orca_pid, their own messages beside LOG. Returns 1, having
# said why, when Orca has not said it is on within 20 s.
start_orca() { # log [stamped]
  : >"$1"
  speech_settings "$XDG_CONFIG_HOME/speech-dispatcher" "$1" "${2:-}"
  speech-dispatcher -s -t 0 -C "$XDG_CONFIG_HOME/speech-dispatcher" -L "$(dirname "$1")" \
    >"$1.speechd" 2>&1 &
  speechd_pid=$!
  orca --replace >"$1.orca" 2>&1 &
  orca_pid=$!
  for _ in $(seq 200); do
    grep -q 'Screen reader on' "$1" && return 0
    sleep 0.1
  done
  cat "$1.orca" "$1.speechd" >&2
  say "Orca did not say it was on within 20 s"
  return 1
}

# Orca may hang in its own shutdown: asked first, then killed after 3 s.
stop_orca() {
  local pid
  for pid in "${orca_pid:-}" "${speechd_pid:-}"; do
    [[ -z "$pid" ]] || stop_process "$pid" 3
  done
  orca_pid=""
  speechd_pid=""
}
