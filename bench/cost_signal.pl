#!/usr/bin/perl
# Writes, without end, the test signal of the running-cost comparison to
# standard output as stereo 16-bit little-endian samples at 44100 Hz, the
# same on both channels (pacat plays it at real-time pace):
#   cost_signal.pl changing   a 440 Hz tone whose level sweeps from 5 % to
#                             95 % of full scale and back every 2 s
#   cost_signal.pl steady     a 440 Hz tone at a constant 50 %
# Two seconds hold exactly 880 periods of the tone, so the loop is seamless.
use strict;
use warnings;
my $kind = shift // '';
die "usage: cost_signal.pl changing|steady\n" unless $kind =~ /^(changing|steady)$/;
my $rate = 44100;
my $frames = 2 * $rate;
my $pi = 4 * atan2(1, 1);
my $loop = '';
for my $frame (0 .. $frames - 1) {
  my $level = 0.5;
  if ($kind eq 'changing') {
    my $phase = $frame / $frames;  # 0 .. 1 over the two seconds
    $level = 0.05 + 0.90 * ($phase < 0.5 ? 2 * $phase : 2 - 2 * $phase);
  }
  my $value = sprintf('%.0f', 32767 * $level * sin(2 * $pi * 440 * $frame / $rate));
  $loop .= pack('s<s<', $value, $value);
}
binmode STDOUT;
$SIG{PIPE} = sub { exit 0 };
while (1) { print $loop or exit 0 }
