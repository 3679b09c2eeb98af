#!/usr/bin/perl
# Writes stereo 16-bit little-endian test signals to standard output, for
# the tests, the tools and the benchmarks alike. Every signal repeats a
# period of 100 frames (441 Hz at 44100 Hz):
#   make_signal.pl [--sine|--dc] LEFT_AMPLITUDE RIGHT_AMPLITUDE SECONDS [RATE]
#       A square wave by default: every half period flips the sign, so each
#       capture block has exactly the given peaks. --sine makes a sine wave
#       with the given peaks instead, which keeps its peaks within a few
#       steps through a sound server that resamples it, as PipeWire's graph
#       at 48 kHz does. --dc holds each channel at its amplitude: played
#       over a square wave, a sound server's mix of the two reaches the sum
#       (or full scale) in every half period, whatever the phase between
#       them, where two square waves half a period apart would cancel.
#   make_signal.pl --endless changing|steady
#       The running-cost signal, without end, at 44100 Hz, the same on both
#       channels (pacat plays it at real-time pace): a sine whose level
#       sweeps from 5 % to 95 % of full scale and back every 2 s
#       (changing), or stays at 50 % (steady). Two seconds hold exactly 882
#       periods, so the loop is seamless.
use strict;
use warnings;

my $period = 100;  # frames
my $pi = 4 * atan2(1, 1);

# The sample of a wave of peak $peak at frame $frame of the period.
sub sample {
  my ($shape, $peak, $frame) = @_;
  my $value = $shape eq 'sine' ? $peak * sin(2 * $pi * $frame / $period)
            : $shape eq 'dc'   ? $peak
                               : ($frame < $period / 2 ? $peak : -$peak);
  return $value < 0 ? int($value - 0.5) : int($value + 0.5);
}

binmode STDOUT;
if (@ARGV && $ARGV[0] eq '--endless') {
  my $kind = $ARGV[1] // '';
  die "usage: make_signal.pl --endless changing|steady\n" unless $kind =~ /^(changing|steady)$/;
  my $frames = 2 * 44100;
  my $loop = '';
  for my $frame (0 .. $frames - 1) {
    my $level = 0.5;
    if ($kind eq 'changing') {
      my $phase = $frame / $frames;  # 0 .. 1 over the two seconds
      $level = 0.05 + 0.90 * ($phase < 0.5 ? 2 * $phase : 2 - 2 * $phase);
    }
    my $value = sample('sine', 32767 * $level, $frame % $period);
    $loop .= pack('s<s<', $value, $value);
  }
  $SIG{PIPE} = sub { exit 0 };
  while (1) { print $loop or exit 0 }
}

my $shape = 'square';
$shape = substr(shift @ARGV, 2) if @ARGV && $ARGV[0] =~ /^--(sine|dc)$/;
my ($left, $right, $seconds, $rate) = @ARGV;
die "usage: make_signal.pl [--sine|--dc] LEFT RIGHT SECONDS [RATE]\n" unless defined $seconds;
$rate //= 44100;
my $frames = int($seconds * $rate);
my $chunk = '';
for my $frame (0 .. $period - 1) {
  $chunk .= pack('s<s<', sample($shape, $left, $frame), sample($shape, $right, $frame));
}
print $chunk for 1 .. int($frames / $period);
print substr($chunk, 0, 4 * ($frames % $period));
