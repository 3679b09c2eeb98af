#!/usr/bin/perl
# Turns the raw figures of bench/running_cost.sh into docs/performance.md
# and, when gnuplot is there, the bar chart docs/performance.png:
#   cost_report.pl RESULTS.tsv SKIPPED.tsv OUT_FOLDER
# RESULTS.tsv, one line per run: name, signal, wall ns, program ns, X server
# ns, sound server ns, PSS KiB (all the program's processes), requests,
# pixels, the first process's ns, its PSS KiB, comm:ns of each process and
# the seconds in which the requests were counted.
# Environment: COST_RUNS, COST_SECONDS, COST_WARMUP, COST_LOAD_BEFORE,
# COST_LOAD_AFTER (from /proc/loadavg).
use strict;
use warnings;
use POSIX qw(strftime);

my ($results, $skipped, $out) = @ARGV;
die "usage: cost_report.pl RESULTS SKIPPED OUT\n" unless defined $out;

my @order = qw(linux linux-aids linux-hidden wayland wayland-hidden wine pavumeter floor);
# Measured for the sound server's share of the others' bills, not listed.
my $baseline_name = 'signal';
my %label = (
  linux => 'Vellumtone, Linux',
  'linux-aids' => 'Vellumtone, Linux, reading aids on',
  'linux-hidden' => 'Vellumtone, Linux, window hidden (unmapped)',
  wayland => 'Vellumtone, Linux, Wayland (sway)',
  'wayland-hidden' => 'Vellumtone, Linux, Wayland, window hidden',
  wine => 'Vellumtone for Windows, Wine',
  pavumeter => 'pavumeter --record',
  floor => 'floor (records, scans, draws nothing)',
);
my %short = (linux => 'Linux', 'linux-aids' => 'Linux+aids', 'linux-hidden' => 'Linux-hidden',
  wayland => 'Wayland',
  'wayland-hidden' => 'Wayland-hidden', wine => 'Wine', pavumeter => 'pavumeter',
  floor => 'floor');

my %runs;  # name -> signal -> [run records]
open my $in, '<', $results or die "cost_report: $results: $!\n";
while (<$in>) {
  chomp;
  my @f = split /\t/;
  next unless @f >= 12 && $f[2] > 0;
  push @{$runs{$f[0]}{$f[1]}}, {
    wall => $f[2], program => $f[3], x => $f[4], sound => $f[5], pss => $f[6],
    requests => $f[7], pixels => $f[8], own => $f[9], own_pss => $f[10], processes => $f[11],
    counted => $f[12],
  };
}
close $in;
my %skip;
if (open my $s, '<', $skipped) {
  while (<$s>) { chomp; my ($n, $why) = split /\t/; $skip{$n} = $why; }
  close $s;
}

sub percent { my ($ns, $wall) = @_; return 100 * $ns / $wall; }
sub show {  # a share of one core, with the digits that say something
  my $p = shift;
  return sprintf($p < 1 ? '%.2f %%' : '%.1f %%', $p);
}
sub total { my $r = shift; return ($r->{program} + $r->{x}) / $r->{wall}; }
# The sound server's CPU, % of one core, with the signal alone (per signal).
my %baseline;
for my $signal (qw(changing steady)) {
  my $list = $runs{$baseline_name}{$signal} or next;
  my @shares = sort { $a <=> $b } map { percent($_->{sound}, $_->{wall}) } @$list;
  $baseline{$signal} = $shares[int($#shares / 2)];
}
# What the user's machine pays for a run: program, display server, and the
# sound server's work for the program's stream (never below nothing).
sub bill {
  my ($r, $signal) = @_;
  my $base = $baseline{$signal};
  my $share = defined $base ? percent($r->{sound}, $r->{wall}) - $base : 0;
  $share = 0 if $share < 0;
  return (percent($r->{program} + $r->{x}, $r->{wall}) + $share, $share);
}
sub median_run {  # the run whose program + X total is the median
  my @sorted = sort { total($a) <=> total($b) } @_;
  return $sorted[int($#sorted / 2)];
}
sub median {
  my @sorted = sort { $a <=> $b } @_;
  return undef unless @sorted;
  return $sorted[int($#sorted / 2)];
}
sub rate {  # requests per second of a run, or undef when not counted
  my $r = shift;
  return undef if $r->{requests} eq '-';
  my $seconds = $r->{counted} && $r->{counted} > 0 ? $r->{counted} : $r->{wall} / 1e9;
  return $r->{requests} / $seconds;
}

my @rows;
my @chart;
my %notes;
for my $name (@order) {
  if ($skip{$name}) {
    push @rows, "| $label{$name} | skipped: $skip{$name} | | | | | | |";
    next;
  }
  my $signals = $runs{$name} or do {
    push @rows, "| $label{$name} | failed: no run finished | | | | | | |";
    next;
  };
  my @cells = ($label{$name});
  my @bills;
  my @pictures;
  my @bars = ($short{$name});
  my @pss;
  for my $signal (qw(changing steady)) {
    my $list = $signals->{$signal};
    unless ($list && @$list) {
      push @cells, 'failed';
      push @bills, '';
      push @pictures, '';
      push @bars, 0;
      next;
    }
    my $m = median_run(@$list);
    my ($p, $x) = (percent($m->{program}, $m->{wall}), percent($m->{x}, $m->{wall}));
    push @cells, show($p) . ' + ' . show($x) . ' = **' . show($p + $x) . '**';
    my ($bill, $share) = bill($m, $signal);
    push @bills, defined $baseline{$signal} ? show($bill) . ' (sound ' . show($share) . ')' : 'n/a';
    $notes{$name}{"bill-$signal"} = $bill;
    my $r = median(grep { defined } map { rate($_) } @$list);
    push @pictures, defined $r ? sprintf('%.0f', $r) : 'n/a';
    push @bars, sprintf('%.3f', $p + $x);
    push @pss, map { $_->{pss} } @$list;
    $notes{$name}{$signal} = $m;
  }
  my $pss = median(@pss);
  push @cells, @bills, defined $pss ? sprintf('%.1f MB', $pss / 1024) : '', @pictures;
  push @rows, '| ' . join(' | ', @cells) . ' |';
  push @chart, join("\t", @bars);
}

# The machine.
my $cpu = 'unknown CPU';
if (open my $c, '<', '/proc/cpuinfo') {
  while (<$c>) { if (/^model name\s*:\s*(.*)/) { $cpu = $1; last } }
  close $c;
}
chomp(my $cores = `nproc 2>/dev/null` || '?');
chomp(my $kernel = `uname -r 2>/dev/null` || '?');
my $debian = 'unknown';
if (open my $d, '<', '/etc/debian_version') { chomp($debian = <$d>); close $d; }
my $date = strftime('%Y-%m-%d %H:%M UTC', gmtime);
my ($runs, $seconds, $warmup) = map { $ENV{$_} // '?' } qw(COST_RUNS COST_SECONDS COST_WARMUP);
my @settings;
push @settings, "COST_RUNS=$runs" if $runs ne '3';
push @settings, "COST_SECONDS=$seconds" if $seconds ne '30';
push @settings, "COST_WARMUP=$warmup" if $warmup ne '3';
my $command = join(' ', @settings, 'make cost');

# What Wine ran, summed by process name over the median runs.
my $wine_note = '';
if (my $w = $notes{wine}) {
  my @parts;
  for my $signal (qw(changing steady)) {
    my $m = $w->{$signal} or next;
    my %by;
    for (split /,/, $m->{processes}) { my ($n, $ns) = /^(.*):(-?\d+)$/ or next; $by{$n} += $ns; }
    my @busy = grep { percent($by{$_}, $m->{wall}) >= 0.005 } keys %by;
    my @idle = sort grep { percent($by{$_}, $m->{wall}) < 0.005 } keys %by;
    my $list = join(', ', map { "$_ " . show(percent($by{$_}, $m->{wall})) }
                    sort { $by{$b} <=> $by{$a} || $a cmp $b } @busy);
    $list .= ' (under 0.01 %: ' . join(', ', @idle) . ')' if @idle;
    push @parts, "  - $signal signal: $list";
    if ($signal eq 'changing') {
      push @parts, sprintf('  - PSS: the .exe\'s own %.1f MB of the %.1f MB', $m->{own_pss} / 1024,
                           $m->{pss} / 1024);
    }
  }
  $wine_note = join("\n", "  Wine's processes in the median runs:", @parts);
}
$wine_note ||= '  (Wine was not measured this time.)';
my $sound_note = join(', ', map {
  my $m = $notes{$_}{changing};
  $m ? "$short{$_} " . show(percent($m->{sound}, $m->{wall})) : ();
} @order);
my $load = '';
if (defined $ENV{COST_LOAD_BEFORE}) {
  $load = "Load average (1, 5, 15 min) when the command started: $ENV{COST_LOAD_BEFORE}; "
    . "when it ended: " . ($ENV{COST_LOAD_AFTER} // '?') . '. On a busy machine the figures '
    . 'rise and scatter; measure on a quiet one.';
}

my $table = join("\n", @rows);
# The whole bills beside pavumeter's and the floor's.
my @compared;
for my $name (grep { $_ ne 'pavumeter' } @order) {
  my @ratios;
  for my $signal (qw(changing steady)) {
    my $own = $notes{$name}{"bill-$signal"};
    for my $peer (qw(pavumeter floor)) {
      my $theirs = $notes{$peer}{"bill-$signal"};
      next unless defined $own && $theirs && $name ne $peer;
      push @ratios, sprintf('%s %.2fx %s\'s', $signal, $own / $theirs, $peer);
    }
  }
  push @compared, "$short{$name}: " . join(', ', @ratios) if @ratios;
}
my $bill_note = defined $baseline{changing}
  ? "*Whole bill*: program + X server (or compositor) + the sound server's work for the program's "
    . 'stream (its CPU in the program\'s run less its CPU with the signal alone, '
    . show($baseline{changing}) . ' changing, ' . show($baseline{steady} // 0) . ' steady). '
    . (@compared ? 'Against pavumeter and the floor: ' . join('; ', @compared) . '.' : '')
  : '*Whole bill*: not computed (the signal alone was not measured).';
open my $md, '>', "$out/performance.md" or die "cost_report: $out/performance.md: $!\n";
print $md <<"EOF";
# What it costs to leave running

Measured with `$command` on $date.

Machine: $cpu, $cores cores, Linux $kernel, Debian $debian. $load

![Total CPU per program, changing and steady signal](performance.png)

| program | changing signal: program + X server = total | steady signal: program + X server = total | whole bill, changing | whole bill, steady | PSS | pictures/s, changing | pictures/s, steady |
|---|---|---|---|---|---|---|---|
$table

$bill_note

CPU is a share of one core. Each program ran alone, $runs run(s) of $seconds s per signal, each
after $warmup s of warm-up, on its own virtual display (Xvfb) with its own PulseAudio server; the run
with the median total is shown.

## What is measured

- **The signals**, played with pacat into the private server's null sink "meter", whose monitor is
  the default capture source, looping for the whole run: *changing*, a 440 Hz tone whose level
  sweeps from 5 % to 95 % of full scale and back every 2 s, so both needles always move; *steady*,
  a constant 440 Hz tone at 50 %.
- **The programs**: the Linux program (`build/linux/vellumtone`); the Windows program
  (`build/win64/vellumtone.exe`) under Wine; pavumeter, Debian's PulseAudio volume meter, as
  `pavumeter --record` (measured only); and the floor, `bench/floor_meter.cpp`, which does only the
  wake-ups a meter of this kind needs and draws nothing: a 10 ms timer thread posting a semaphore to a thread
  that scans the newest 8192-byte block, and a PulseAudio recording stream that asks for fragments
  of one block (about 46 ms). What a meter costs above the floor is the price of its drawing.
- **CPU**: exact time on CPU, the first field of `/proc/PID/task/*/schedstat` (nanoseconds) summed
  over all threads, over the measured stretch, divided by its length (a thread that ends within the
  stretch drops out of the sum, so its last moments are not counted). *Program* is every process
  the program's command started: each carries a marker in its environment, which Wine hands on to
  the processes it starts. For the native programs that is the one process. Under Wine it is the
  .exe's process, the wineserver of a prefix used by nothing else, and Wine's helper processes
  (services.exe, explorer.exe, winedevice.exe, plugplay.exe, svchost.exe, rpcss.exe, ...).
  *X server* is the Xvfb process that served the program alone; for the Wayland rows it is the
  compositor, a private headless sway (pixman renderer) that shows nothing but the program's
  window, and the pictures are the buffers the program attached, counted from its protocol log
  in a run of its own. "Window hidden": on Wayland moved to a workspace nobody looks at, where
  the compositor asks for no frames; on X11 unmapped, as an icon is where no window manager runs.
$wine_note
- **PSS** (proportional set size, `/proc/PID/smaps_rollup`) summed over the same processes at the
  end of each run, the median over all runs; shared libraries count in proportion to how many
  processes map them.
- **Pictures/s**: drawing requests per second that changed the pixels of a shown window, counted
  from outside by `bench/damage_counter.cpp`, which watches the root window of the program's
  private display through the X Damage extension (one request: one `PutImage`, `CopyArea`, fill
  or other drawing into a window, whatever its size). A program that shows each meter's new picture
  with one request counts two per update while both needles move; 0 means it showed nothing new.
  They are counted in a stretch of their own right after the CPU is measured, not during it: the
  watcher's events cost the X server and, on two cores, the drawing programs themselves some CPU.
- Not in the total: the sound server, which also plays the signal and feeds the program's
  recording stream. In the same median runs of the changing signal it used: $sound_note.

Raw figures of every run: `build/linux/cost/results.tsv` after the command. Which thread pays,
and why: [cost_by_thread.md](cost_by_thread.md).
EOF
close $md;

# The chart: total CPU for both signals, one pair of bars per program.
my %tic = (
  Linux => 'Vellumtone\\n(Linux)', 'Linux+aids' => 'Vellumtone\\n(aids on)', Wine => 'Vellumtone.exe\\n(Wine)',
  Wayland => 'Vellumtone\\n(Wayland)', 'Wayland-hidden' => 'Wayland\\n(hidden)',
  'Linux-hidden' => 'Linux\\n(hidden)',
  pavumeter => 'pavumeter\\n--record', floor => 'floor\\n(draws nothing)',
);
if (@chart && system('command -v gnuplot >/dev/null 2>&1') == 0) {
  my $data = "$out/.performance.dat";
  open my $dat, '>', $data or die "cost_report: $data: $!\n";
  print $dat map { "$_\n" } @chart;
  close $dat;
  my $top = 0;
  my @tics;
  for my $i (0 .. $#chart) {
    my @v = split /\t/, $chart[$i];
    for (@v[1, 2]) { $top = $_ if $_ > $top }
    push @tics, sprintf('"%s" %d', $tic{$v[0]} // $v[0], $i);
  }
  $top = $top * 1.15 || 1;
  my $tics = join(', ', @tics);
  my $last = $#chart + 0.6;
  # Two bars in a slot of 1 with a gap of 1.5 bars: each is 1/3.5 wide.
  open my $gp, '|-', 'gnuplot' or die "cost_report: gnuplot: $!\n";
  print $gp <<"GNUPLOT";
set terminal pngcairo size 900,480 font "DejaVu Sans,12"
set output "$out/performance.png"
set title "CPU to leave it running: program + X server, % of one core"
set style data histogram
set style histogram clustered gap 1.5
set style fill solid 0.9 border -1
set boxwidth 0.9
set xrange [-0.6:$last]
set yrange [0:$top]
set ylabel "% of one core"
set grid ytics
set key top right
set xtics ($tics) nomirror scale 0
set ytics nomirror
set border 3
set bmargin 4
plot "$data" using 2 title "changing signal" linecolor rgb "#2a7d2a", \\
     "" using 3 title "steady signal" linecolor rgb "#8a8a8a", \\
     "" using (\$0 - 0.143):2:(\$2 < 1 ? sprintf("%.2f", \$2) : sprintf("%.1f", \$2)) with labels offset 0,0.7 notitle, \\
     "" using (\$0 + 0.143):3:(\$3 < 1 ? sprintf("%.2f", \$3) : sprintf("%.1f", \$3)) with labels offset 0,0.7 notitle
GNUPLOT
  close $gp or warn "cost_report: gnuplot failed\n";
  unlink $data;
} else {
  print STDERR "cost_report: no gnuplot (apt-get install gnuplot-nox): no chart\n";
}
