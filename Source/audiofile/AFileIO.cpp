// WAV writer
