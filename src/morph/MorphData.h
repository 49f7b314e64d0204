// Word lists behind MyDLL. Plain whitespace-separated text, parsed once by
// LoadArrays, so that a later lexicon can replace them without code changes.
//
// kFamilies: one word family per line, the lemma first and then its other
// forms, most frequent first: that order decides what survives when a union
// of families does not fit the caller's buffer. Lines run roughly by frequency.
// The other lists hold words whose forms follow the spelling rules.
#ifndef KORVEL_MORPH_DATA_H
#define KORVEL_MORPH_DATA_H

#include <string_view>

namespace korvel::morph {

inline constexpr std::string_view kFamilies = R"(
be am is are was were been being
have has had having
do does did done doing
say says said saying
go goes went gone going
get gets got gotten getting
make makes made making
know knows knew known knowing
think thinks thought thinking
take takes took taken taking
see sees saw seen seeing
come comes came coming
give gives gave given giving
find finds found finding
tell tells told telling
become becomes became becoming
leave leaves left leaving
feel feels felt feeling
put puts put putting
bring brings brought bringing
begin begins began begun beginning
keep keeps kept keeping
hold holds held holding
write writes wrote written writing
stand stands stood standing
hear hears heard hearing
let lets letting
mean means meant meaning
set sets setting
meet meets met meeting
run runs ran running
pay pays paid paying
sit sits sat sitting
speak speaks spoke spoken speaking
lie lies lay lain lying lied
lead leads led leading
read reads reading
grow grows grew grown growing
lose loses lost losing
fall falls fell fallen falling
send sends sent sending
build builds built building
understand understands understood understanding
draw draws drew drawn drawing
break breaks broke broken breaking
spend spends spent spending
cut cuts cutting
rise rises rose risen rising
drive drives drove driven driving
buy buys bought buying
wear wears wore worn wearing
choose chooses chose chosen choosing
seek seeks sought seeking
throw throws threw thrown throwing
catch catches caught catching
deal deals dealt dealing
win wins won winning
forget forgets forgot forgotten forgetting
lay lays laid laying
sell sells sold selling
fight fights fought fighting
teach teaches taught teaching
eat eats ate eaten eating
sing sings sang sung singing
drink drinks drank drunk drinking
fly flies flew flown flying
hang hangs hung hanged hanging
hit hits hitting
hurt hurts hurting
feed feeds fed feeding
shoot shoots shot shooting
steal steals stole stolen stealing
swim swims swam swum swimming
wake wakes woke woken waking
ride rides rode ridden riding
ring rings rang rung ringing
shake shakes shook shaken shaking
shine shines shone shined shining
sleep sleeps slept sleeping
slide slides slid sliding
spin spins spun spinning
stick sticks stuck sticking
strike strikes struck stricken striking
swing swings swung swinging
tear tears tore torn tearing
bite bites bit bitten biting
bind binds bound binding
bleed bleeds bled bleeding
blow blows blew blown blowing
breed breeds bred breeding
burn burns burned burnt burning
burst bursts bursting
cast casts casting
cling clings clung clinging
cost costs costing
creep creeps crept creeping
dig digs dug digging
dream dreams dreamed dreamt dreaming
dwell dwells dwelt dwelled dwelling
fit fits fitted fitting
flee flees fled fleeing
fling flings flung flinging
forbid forbids forbade forbidden forbidding
forgive forgives forgave forgiven forgiving
freeze freezes froze frozen freezing
grind grinds ground grinding
hide hides hid hidden hiding
kneel kneels knelt kneeled kneeling
lean leans leaned leant leaning
leap leaps leaped leapt leaping
learn learns learned learnt learning
lend lends lent lending
light lights lit lighted lighting
mistake mistakes mistook mistaken mistaking
overcome overcomes overcame overcoming
prove proves proved proven proving
quit quits quitting
rid rids ridding
sew sews sewed sewn sewing
shed sheds shedding
show shows showed shown showing
shrink shrinks shrank shrunk shrinking
shut shuts shutting
sink sinks sank sunk sinking
smell smells smelled smelt smelling
sow sows sowed sown sowing
spell spells spelled spelt spelling
spill spills spilled spilt spilling
spit spits spat spitting
split splits splitting
spoil spoils spoiled spoilt spoiling
spread spreads spreading
spring springs sprang sprung springing
sting stings stung stinging
stink stinks stank stunk stinking
stride strides strode stridden striding
string strings strung stringing
strive strives strove striven striving
swear swears swore sworn swearing
sweep sweeps swept sweeping
swell swells swelled swollen swelling
undergo undergoes underwent undergone undergoing
undertake undertakes undertook undertaken undertaking
upset upsets upsetting
weave weaves wove woven weaving
weep weeps wept weeping
wind winds wound winding
withdraw withdraws withdrew withdrawn withdrawing
withstand withstands withstood withstanding
wring wrings wrung wringing
arise arises arose arisen arising
awake awakes awoke awoken awaking
bear bears bore borne born bearing
beat beats beaten beating
bend bends bent bending
bet bets betting
bid bids bidding
broadcast broadcasts broadcasting
forecast forecasts forecasting
foresee foresees foresaw foreseen foreseeing
overtake overtakes overtook overtaken overtaking
overthrow overthrows overthrew overthrown overthrowing
rewrite rewrites rewrote rewritten rewriting
underwrite underwrites underwrote underwritten underwriting
mislead misleads misled misleading
misunderstand misunderstands misunderstood misunderstanding
uphold upholds upheld upholding
withhold withholds withheld withholding
behold beholds beheld beholding
outgrow outgrows outgrew outgrown outgrowing
override overrides overrode overridden overriding
oversee oversees oversaw overseen overseeing
overhear overhears overheard overhearing
overrun overruns overran overrunning
outrun outruns outran outrunning
overdo overdoes overdid overdone overdoing
underlie underlies underlay underlain underlying
rebuild rebuilds rebuilt rebuilding
rethink rethinks rethought rethinking
redo redoes redid redone redoing
undo undoes undid undone undoing
outdo outdoes outdid outdone outdoing
remake remakes remade remaking
repay repays repaid repaying
retell retells retold retelling
unwind unwinds unwound unwinding
forgo forgoes forwent forgone forgoing
forsake forsakes forsook forsaken forsaking
befall befalls befell befallen befalling
abide abides abode abided abiding
babysit babysits babysat babysitting
offset offsets offsetting
reset resets resetting
input inputs inputted inputting
output outputs outputted outputting
mow mows mowed mown mowing
sneak sneaks sneaked snuck sneaking
dive dives dived dove diving
plead pleads pleaded pled pleading
slay slays slew slain slaying
sling slings slung slinging
slit slits slitting
speed speeds sped speeded speeding
thrust thrusts thrusting
tread treads trod trodden treading
wet wets wetted wetting
knit knits knitted knitting
shear shears sheared shorn shearing
saw saws sawed sawn sawing
man men
woman women
child children
person people persons
people peoples
foot feet
tooth teeth
goose geese
mouse mice
louse lice
ox oxen
penny pennies pence
gentleman gentlemen
chairman chairmen
businessman businessmen
policeman policemen
fireman firemen
fisherman fishermen
spokesman spokesmen
salesman salesmen
congressman congressmen
sportsman sportsmen
craftsman craftsmen
statesman statesmen
countryman countrymen
workman workmen
businesswoman businesswomen
chairwoman chairwomen
policewoman policewomen
spokeswoman spokeswomen
grandchild grandchildren
analysis analyses
basis bases
crisis crises
thesis theses
hypothesis hypotheses
diagnosis diagnoses
axis axes
emphasis emphases
synthesis syntheses
parenthesis parentheses
oasis oases
prognosis prognoses
phenomenon phenomena
criterion criteria
datum data
medium media mediums
curriculum curricula curriculums
bacterium bacteria
memorandum memoranda memorandums
stratum strata
symposium symposia symposiums
millennium millennia millenniums
spectrum spectra spectrums
maximum maxima maximums
minimum minima minimums
referendum referendums referenda
index indexes indices indexed indexing
appendix appendices appendixes
matrix matrices
vertex vertices
formula formulas formulae
antenna antennas antennae
vertebra vertebrae
larva larvae
cactus cacti cactuses
fungus fungi
nucleus nuclei
radius radii
stimulus stimuli
syllabus syllabi syllabuses
alumnus alumni
genus genera
corpus corpora
focus focuses foci focused focusing
knife knives
wife wives
life lives
leaf leaves
half halves
wolf wolves
shelf shelves
self selves
thief thieves
loaf loaves
calf calves
elf elves
sheaf sheaves
scarf scarves scarfs
hoof hooves hoofs
housewife housewives
midwife midwives
potato potatoes
tomato tomatoes
hero heroes
echo echoes echoed echoing
veto vetoes vetoed vetoing
torpedo torpedoes torpedoed torpedoing
embargo embargoes embargoed embargoing
volcano volcanoes volcanos
mosquito mosquitoes mosquitos
tornado tornadoes tornados
cargo cargoes cargos
domino dominoes
stomach stomachs
monarch monarchs
epoch epochs
quiz quizzes quizzed quizzing
panic panics panicked panicking
picnic picnics picnicked picnicking
traffic traffics trafficked trafficking
mimic mimics mimicked mimicking
good better best
well better best
bad worse worst
ill worse worst
far farther further farthest furthest
old older elder oldest eldest
)";

// Regular verbs, most of them nouns as well (the plural is the -s form).
// A trailing '*' marks a stressed last syllable, which doubles its final
// consonant as a one-syllable word does (admit: admitted, but visit: visited).
inline constexpr std::string_view kVerbs = R"(
abandon absorb accept access accommodate accompany accomplish account accuse
achieve acknowledge acquire act adapt add address adjust admire admit* adopt
advance advertise advise advocate affect afford age agree aid aim alarm alert
allocate allow alter amaze amend amount amuse analyse analyze announce annoy
answer anticipate apologise apologize appeal appear applaud apply appoint
appreciate approach approve argue arm arrange arrest arrive ask assemble assert
assess assign assist associate assume assure attach attack attain attempt
attend attract attribute avoid await award
back bake balance ban bang bar bark base bathe battle beg behave believe belong
benefit blame bless blink block boast boil bomb book boost bore borrow bother
bounce bound bow box brake breathe brief brush bubble budget bump burden bury
button
calculate call calm camp cancel care carry carve cash cause cease celebrate
center centre chain challenge change charge charm chase chat cheat check cheer
chew chop circle cite claim clap clarify classify clean clear click climb clip
close coach collapse collect color colour combine comfort command comment
commit* communicate compare compete compile complain complete comply compose
compromise compute conceal concede conceive concentrate concern conclude
condemn conduct confess confine confirm conflict confront confuse congratulate
connect conquer consent conserve consider consist console constitute construct
consult consume contact contain contemplate contend continue contract contrast
contribute control* convert convey convict convince cook cool cooperate
coordinate cope copy correct correspond cough count counter cover crack crash
crawl create credit criticise criticize cross crowd crush cry cultivate cure
curl curse cycle
damage dance dare date debate decay deceive decide declare decline decorate
decrease dedicate defeat defend define delay delete delight deliver demand
demonstrate deny depart depend deposit depress derive descend describe desert
deserve design desire despair destroy detail detect determine develop devote
dial dictate die differ dine direct disagree disappear disappoint discharge
discount discourage discover discuss disguise dislike dismiss display dispose
distinguish distribute disturb divide divorce document dominate donate double
doubt download drag drain dress drift drill drip drop drown dry dump dust
earn ease edit educate elect eliminate embrace emerge emphasise emphasize
employ empty enable encounter encourage end endorse endure enforce engage
enhance enjoy enlarge enquire enroll ensure enter entertain entitle equal
equip* escape establish estimate evaluate evolve exaggerate examine exceed
exchange excite exclude excuse execute exercise exhibit exist expand expect
experience experiment explain explode exploit explore export expose express
extend eye
face facilitate fade fail faint fancy farm fast fasten favor favour fear
feature fetch file fill film finance finish fire fish fix flash float flood
flow fold follow fool force forge form format* formulate foster found frame
free frighten fry fuel fulfil* fulfill function fund
gain gamble gather gaze generate glance glare glow grab grade graduate grant
grasp greet grin grip groan ground group guarantee guard guess guide
halt hammer hand handle happen harm hate head heal heat help hesitate highlight
hire hop hope host house hug hum hunt hurry
identify ignore illustrate imagine imitate implement imply import impose
impress imprison improve include incorporate increase indicate induce indulge
infect infer* inform inherit inhibit initiate injure inquire insert insist
inspect inspire install instruct insult insure integrate intend interest
interfere interpret interrupt intervene interview introduce invade invent
invest investigate invite involve iron isolate issue
jail jam jog join joke judge jump justify
kick kill kiss knock
label land last laugh launch lecture lick lift like limit line link list listen
live load loan locate lock log long look loosen love
mail maintain manage manufacture map march mark market marry master match
matter measure melt mend mention merge milk mind miss mix mock modify monitor
motivate mount mourn move multiply murder murmur
nail name narrow navigate need neglect negotiate nod nominate note notice
notify nurse
obey object oblige observe obtain occupy occur* offend offer omit* open operate
oppose opt order organise organize originate owe own
pack paint park participate pass patrol* pause perceive perform permit* persist
persuade phone pick pile pin place plan plant play please pledge plot plug
plunge point poison polish pop pose position possess post postpone pour
practice practise praise pray preach precede predict prefer* prepare prescribe
present preserve press presume pretend prevail prevent price print proceed
process produce profit program* progress prohibit project promise promote
pronounce propose prosecute protect protest provide provoke publish pull pump
punch punish purchase pursue push
qualify query question queue quote
race rain raise range rank rate reach react realise realize reason recall
receive reckon recognise recognize recommend record recover recruit recycle
reduce refer* reflect reform refuse regard register regret* regulate reinforce
reject relate relax release relieve rely remain remark remember remind remove
render renew rent repair repeat replace reply report represent reproduce
request require rescue research resemble reserve reside resign resist resolve
resort respect respond rest restore restrict result resume retain retire
retreat retrieve return reveal reverse review revise revive reward risk rob
rock roll rot round rub ruin rule rush
sack sail satisfy save scan scare schedule score scrape scratch scream screen
search secure seize select separate serve settle shape share shave shelter
shift ship shiver shock shop shout shrug sigh sign signal simplify sketch ski
skip slam slap slip slow smash smile smoke smooth snap sniff snow soak solve
sort sound spare spark specialise specialize specify spot spray squeeze stab
stack staff stage stain stamp star stare start state stay steer step stimulate
stir stitch stop store storm strain strengthen stress stretch strip stroke
struggle study stuff stumble submit* substitute succeed suck suffer suggest
suit sum summarise summarize supervise supply support suppose suppress surprise
surrender surround survey survive suspect suspend sustain swallow swap switch
tackle tag talk tap target taste tax tease telephone tempt tend terminate
terrify test text thank threaten tick tidy tie time tip tire tolerate top toss
total touch tour trace track trade train transfer* transform translate
transmit* transport trap travel treat tremble trick trigger trim trip trouble
trust try tuck tug turn twist type
unite unlock update upgrade upload urge use utter
vacuum value vanish vary venture verify view visit voice volunteer vote
wait walk wander want warm warn wash waste watch water wave weaken weigh
welcome whip whisper whistle widen wipe wish witness wonder work worry worship*
wound wrap wreck
yawn yell yield
zip zoom
)";

// Regular nouns that are not also common verbs.
inline constexpr std::string_view kNouns = R"(
ability accident acid activity actor adult adventure advantage affair agency
agent agenda airport album alcohol algorithm alien alternative ambulance anger
angle animal ankle anniversary apartment apple application appointment area
argument army arrangement arrival arrow article artist aspect assembly
assessment asset assignment assistant association assumption atmosphere
attitude attorney audience aunt author authority autumn avenue axe
baby bag bakery ball balloon band bank barrier baseball basket basketball bath
battery bay beach bean beard bed bedroom bee beer beginning belief bell belly
belt bench bicycle bike bill bird birth birthday bishop bit blade blanket board
boat body bone bonus boot border boss bottle bottom boundary bowl boy brain
branch brand breakfast breast breath bride bridge brother bug building bullet
bunch bus bush business
cabin cabinet cable cafe cake camera campaign campus canal cancer candidate
candle cap capacity capital captain car card career carpet cart case castle cat
category ceiling cell cent century ceremony certificate chair champion
championship chance channel chapter character charity chart cheek cheese chef
chemical chest chicken chief chip chocolate choice church cigarette cinema
circumstance citizen city class classroom clerk client cliff climate clinic
clock closet cloth cloud club clue coal coast coat code coffee coin colleague
collection college colony column comedy commission committee community company
competition competitor complaint component computer concept concert conclusion
condition conference confidence connection consequence constitution consumer
contest context continent contribution conversation cookie corn corner
corporation costume cottage cotton couch council country county couple courage
course court cousin cow crew crime criminal critic crop crown culture cup
curtain curve customer
dad danger daughter day deadline death debt decade decision deck degree
department depth deputy description desk detective device diagram dialogue
diamond diary dictionary diet difference difficulty dimension dinner direction
director disaster disc discipline discussion disease dish disk distance
district doctor dog doll dollar domain door dose dot dove dozen draft drama
drawer driver drug drum duck duty
ear earthquake economy edge edition editor effect effort egg election element
elephant elevator email emotion emperor employee employer engine engineer
entrance entry envelope environment episode equation era error essay estate
event exam examination example exception executive exhibition exit expense
expert explanation expression extension
facility fact factor factory faculty failure faith family fan farmer fashion
father fault feather fee feeling female fence festival fever field figure
finger firm flag flame flavor flavour flight floor flower football forest fork
fortune forum foundation fountain fox freedom friend friendship frog front
fruit funeral future
gallery game gang gap garage garden gas gate gene generation genius ghost gift
girl glass glove goal god government governor grandfather grandmother grape
graph grass grave guest guideline guitar gun guy gym
habit hair hall hat headline heart height helicopter highway hill hip history
hobby hole holiday home horizon horn horse hospital hotel hour household human
husband
idea identity illness image impact implication impression incident income
individual industry infant infection ingredient initiative injury insect
insight inspector instance institute institution instruction instrument
intention internet interpretation interval introduction invention
investigation investment investor invitation island item
jacket jar jaw job joint journal journalist journey juice jungle jury
key kid kidney killer king kingdom kitchen kite knee knot
lab laboratory ladder lady lake lamp landscape lane language laptop law lawn
lawyer layer leader leadership league leather leg legend lemon lesson letter
level library licence license lid limb lion lip liquid literature lobby
location loss lot lover lunch lung
machine magazine magnet majority male mall mammal manager manner marriage mask
meal meat mechanism medal medicine meeting member membership memory menu
merchant message metal method midnight mile mill mineral minister ministry
minute mirror mission mixture mobile mode model mom moment monkey month
monument mood moon morning mortgage mother motion motor mountain mouth movement
movie muscle museum mushroom musician mystery myth
nation native neck needle neighbor neighbour nephew nerve nest net network
newspaper niece night nightmare noise nose notebook notion novel nut
oak objective obligation occasion ocean office officer official onion
operation opinion opponent opportunity option orange orbit organ organisation
organization origin outcome oven owner
package page pain painting pair palace palm pan panel paper parade paragraph
parent parliament part partner party passage passenger passport password path
patient pattern payment peak pear pen penalty pencil pension pepper percentage
performance period permission personality perspective pet phase philosopher
photo photograph phrase physician piano picture pie piece pig pill pillow pilot
pipe pitch pizza plane planet plastic plate platform player pocket poem poet
pole policy politician pond pool population port portion portrait possibility
pot prayer president priest prince princess principal principle priority
prison prisoner privilege prize problem procedure product production
profession professor profile proof property proportion proposal prospect
protein province pub publication pupil purpose purse puzzle
quality quantity quarter queen
rabbit radio rail railway rat ratio reaction reader reality receipt recipe
reference region relation relationship relative religion reporter
representative republic reputation requirement researcher resident resolution
resource response responsibility restaurant revolution rhythm rifle river road
robot role roof room root rope rose route routine row rumor rumour
sailor salad salary sale salt sample sand sandwich satellite sauce scale
scandal scene scheme scholar scholarship school science scientist script sea
season seat second secret secretary section sector seed segment selection
sense sentence servant service session setting shadow sheet shell shirt shoe
shore shoulder shower sibling side sight signature singer sister site
situation size skill skin skirt sky slave slope snake soldier solution son song
soul soup source space speaker speech sphere spirit spoke sport squad stadium
stair stake standard statement station statue status steak stock stone story
stove strategy stream street strength structure student studio style subject
suburb success suitcase summary summer summit sun supermarket supper surface
surgeon surgery symbol symptom system
table tablet tail tale talent tank tape taxi teacher team technique technology
teenager television temperature temple tenant tendency tension tent term
territory textbook theater theatre theme theory therapy thing thread threat
throat throne thumb ticket tide tiger title toe toilet tone tongue tool topic
tourist towel tower town toy tradition trail trainer trait transaction
transition tray treasure treaty tree trend trial triangle troop truck trunk
truth tube tune tunnel tutor twin
umbrella uncle union unit universe university user
valley van variable variety vegetable vehicle version vessel veteran victim
victory video village violin virus vision visitor volume voter
wage wagon waist wall wallet war warehouse warning way weakness weapon website
wedding week weekend weight whale wheel widow width window wine wing winner
winter wire wood word worker world worm writer
yard year youth
zone zoo
)";

// Adjectives compared with -er and -est.
inline constexpr std::string_view kAdjectives = R"(
angry bare big black blind blue bold brave bright broad brown busy calm cheap
clean clear clever close cloudy cold cool crazy cruel cute dark dear deep dense
dim dirty dry dull dusty early easy empty faint fair fast fat fierce fine firm
fit flat free fresh friendly full funny gentle glad great green grey grim
gray hard harsh happy healthy heavy high hot humble hungry huge kind keen large
late lazy light long loose loud lovely lonely low lucky messy mild narrow near
neat new nice noisy odd pale pink plain poor pretty proud pure quick quiet rare
raw red rich ripe rough rude sad safe shallow sharp short shy sick silly simple
slim slow small smooth soft sour steep strong sunny sure sweet tall thick thin
tidy tight tiny tough true ugly warm weak wealthy weird wet white wide wild
windy wise young
)";

// Known words with no other forms: spares them forms made up by rule.
inline constexpr std::string_view kUninflectedWords = R"(
academic additional advice afraid aircraft alive alone annual appropriate
automatic available aware baggage basic beautiful careful cattle central
certain civil commercial common competitive comprehensive constant creative
critical cultural curious current dangerous decent deer delicious democratic
desperate different digital domestic dramatic economic economics efficient
elderly electric electricity electronic emotional enormous environmental
equipment essential evidence excellent excited exciting expensive external
extra extreme familiar famous fantastic federal final financial foreign
fundamental furniture general genuine global guilty happiness health helpful
homework honest horrible identical illegal immediate important impossible
incredible independent industrial information initial innocent intelligent
intense interesting internal international jealous knowledge legal local
logical luggage magnificent main massive mathematics medical mental military
modern moral music national natural necessary negative neutral news normal
nuclear numerous obvious offspring online ordinary original particular
peaceful permanent personal physical physics pleasant police polite political
politics popular positive possible powerful practical precious precise
pregnant previous primary private professional proper psychological public
rapid reasonable recent regular relevant reliable religious remarkable remote
responsible ridiculous romantic royal rural scientific secondary sensitive
serious severe sheep significant silent similar sincere social software
spacecraft special species specific spiritual stable strange strict stupid
substantial successful sudden sufficient suitable superior series terrible
traditional tremendous typical unable unique unknown unusual urban urgent
useful valid valuable various violent visible visual vital wealth wonderful
wooden
)";

// Function words: articles, pronouns, prepositions, conjunctions, determiners,
// modal auxiliaries, numbers and pro-form adverbs. They never get forms.
inline constexpr std::string_view kClosedWords = R"(
a an the
i me my mine myself you your yours yourself yourselves he him his himself she
her hers herself it its itself we us our ours ourselves they them their theirs
themselves this that these those who whom whose which what whatever whoever
whichever someone somebody something anyone anybody anything everyone
everybody everything nobody nothing none
about above across after against along amid among amongst around at before
behind below beneath beside besides between beyond by despite down during
except for from in inside into of off on onto out outside over past per plus
minus since through throughout till to toward towards under underneath unlike
until unto up upon versus via with within without
and or but nor so yet because although though if unless while whilst whereas
whether as than lest
all any both each either every few many much neither no several some such
another other enough more most less least
can cannot could may might must shall should will would ought
one two three four five six seven eight nine ten eleven twelve thirteen
fourteen fifteen sixteen seventeen eighteen nineteen twenty thirty forty fifty
sixty seventy eighty ninety hundred thousand million billion trillion
not also very too then there here how when where why whenever wherever however
)";

}  // namespace korvel::morph

#endif
