#!/usr/bin/perl
# Writes a stereo 16-bit little-endian tone with a period of 100 frames
# (441 Hz at 44100 Hz) to standard output:
#   make_signal.pl [--sine] LEFT_AMPLITUDE RIGHT_AMPLITUDE SECONDS [RATE]
# A square wave by default: every half period flips the sign, so each
# capture block has exactly the given peaks. --sine makes a sine wave with
# the given peaks instead, which keeps its peaks within a few steps through
# a sound server that resamples it, as PipeWire's graph at 48 kHz does.
use strict;
use warnings;
my $sine = @ARGV && $ARGV[0] eq '--sine';
shift @ARGV if $sine;
my ($left, $right, $seconds, $rate) = @ARGV;
die "usage: make_signal.pl [--sine] LEFT RIGHT SECONDS [RATE]\n" unless defined $seconds;
$rate //= 44100;
my $period = 100;  # frames
binmode STDOUT;
my $frames = int($seconds * $rate);
my $chunk = '';
for my $frame (0 .. $period - 1) {
  my ($l, $r);
  if ($sine) {
    my $s = sin(2 * 3.14159265358979 * $frame / $period);
    ($l, $r) = map { my $v = $_ * $s; $v < 0 ? int($v - 0.5) : int($v + 0.5) } ($left, $right);
  } else {
    my $sign = ($frame < $period / 2) ? 1 : -1;
    ($l, $r) = ($sign * $left, $sign * $right);
  }
  $chunk .= pack('s<s<', $l, $r);
}
my $whole = int($frames / $period);
print $chunk for 1 .. $whole;
print substr($chunk, 0, 4 * ($frames % $period));
