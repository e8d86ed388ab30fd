-- The same for PostgreSQL, as pg_dump --inserts wrote it, without its session settings.

CREATE FUNCTION public.note_employee_list_change() RETURNS trigger
    LANGUAGE plpgsql
    SET search_path TO '$user', 'public'
    AS $$BEGIN UPDATE EmployeeListVersion SET changedBy = txid_current(); RETURN NULL; END$$;

CREATE FUNCTION public.refuse_assignment_log_change() RETURNS trigger
    LANGUAGE plpgsql
    AS $$BEGIN RAISE EXCEPTION 'assignment_log is append-only'; END$$;

CREATE TABLE public.assignment_log (
    seq bigint NOT NULL,
    loggedat timestamp with time zone NOT NULL,
    operatorname text NOT NULL,
    remoteaddress text NOT NULL,
    centerid integer NOT NULL,
    employeeid integer NOT NULL,
    change text NOT NULL,
    outcome text NOT NULL
);

CREATE SEQUENCE public.assignment_log_seq_seq
    START WITH 1
    INCREMENT BY 1
    NO MINVALUE
    NO MAXVALUE
    CACHE 1;

ALTER SEQUENCE public.assignment_log_seq_seq OWNED BY public.assignment_log.seq;

CREATE TABLE public.centeremployeecrossreference (
    centerid integer NOT NULL,
    employeeid integer NOT NULL,
    recordlastupdated timestamp with time zone NOT NULL
);

CREATE TABLE public.centers (
    id integer NOT NULL,
    name text NOT NULL,
    CONSTRAINT centers_name_check CHECK ((length(TRIM(BOTH FROM name)) > 0))
);

CREATE TABLE public.employeelistversion (
    onlyrow boolean DEFAULT true NOT NULL,
    changedby bigint NOT NULL,
    CONSTRAINT employeelistversion_onlyrow_check CHECK (onlyrow)
);

CREATE TABLE public.employees (
    id integer NOT NULL,
    name text NOT NULL,
    active boolean DEFAULT true NOT NULL,
    CONSTRAINT employees_name_check CHECK ((length(TRIM(BOTH FROM name)) > 0))
);

CREATE TABLE public.operatorcentres (
    operatorname text NOT NULL,
    centerid integer NOT NULL
);

CREATE TABLE public.operators (
    name text NOT NULL,
    passwordhash text NOT NULL,
    allcentres boolean NOT NULL
);

ALTER TABLE ONLY public.assignment_log ALTER COLUMN seq SET DEFAULT nextval('public.assignment_log_seq_seq'::regclass);

INSERT INTO public.assignment_log VALUES (1, '2026-12-08 19:14:16.541+00', '', '127.0.0.1', 12, 1, 'add', 'applied');
INSERT INTO public.assignment_log VALUES (2, '2026-12-08 19:14:16.541+00', '', '127.0.0.1', 12, 3, 'add', 'applied');
INSERT INTO public.assignment_log VALUES (3, '2026-12-08 19:14:16.541+00', '', '127.0.0.1', 14, 2, 'add', 'applied');
INSERT INTO public.assignment_log VALUES (4, '2026-12-08 19:14:16.568+00', '', '127.0.0.1', 12, 3, 'remove', 'applied');

INSERT INTO public.centeremployeecrossreference VALUES (12, 1, '2026-12-08 19:14:16.541+00');
INSERT INTO public.centeremployeecrossreference VALUES (14, 2, '2026-12-08 19:14:16.541+00');

INSERT INTO public.centers VALUES (12, 'North Depot');
INSERT INTO public.centers VALUES (14, 'South Yard');

INSERT INTO public.employeelistversion VALUES (true, 728);

INSERT INTO public.employees VALUES (1, 'Ann Smith', true);
INSERT INTO public.employees VALUES (2, 'Bob Jones', true);
INSERT INTO public.employees VALUES (3, 'Chloé Brontë', true);
INSERT INTO public.employees VALUES (-7, 'Old Timer', false);

INSERT INTO public.operatorcentres VALUES ('ann', 12);

INSERT INTO public.operators VALUES ('ann', '$argon2id$v=19$m=65536,t=2,p=1$5AC3ZavXXsLckCwcIRpvKQ$wibeOHSveclNJftycU/oCVrVSSKl1kJLXGiof2Qb2cM', false);

SELECT pg_catalog.setval('public.assignment_log_seq_seq', 4, true);

ALTER TABLE ONLY public.assignment_log
    ADD CONSTRAINT assignment_log_pkey PRIMARY KEY (seq);

ALTER TABLE ONLY public.centeremployeecrossreference
    ADD CONSTRAINT centeremployeecrossreference_pkey PRIMARY KEY (centerid, employeeid);

ALTER TABLE ONLY public.centers
    ADD CONSTRAINT centers_pkey PRIMARY KEY (id);

ALTER TABLE ONLY public.employeelistversion
    ADD CONSTRAINT employeelistversion_pkey PRIMARY KEY (onlyrow);

ALTER TABLE ONLY public.employees
    ADD CONSTRAINT employees_pkey PRIMARY KEY (id);

ALTER TABLE ONLY public.operatorcentres
    ADD CONSTRAINT operatorcentres_pkey PRIMARY KEY (operatorname, centerid);

ALTER TABLE ONLY public.operators
    ADD CONSTRAINT operators_pkey PRIMARY KEY (name);

CREATE INDEX centeremployeecrossreference_employeeid ON public.centeremployeecrossreference USING btree (employeeid);

CREATE TRIGGER assignment_log_append_only BEFORE DELETE OR UPDATE OR TRUNCATE ON public.assignment_log FOR EACH STATEMENT EXECUTE FUNCTION public.refuse_assignment_log_change();

CREATE TRIGGER employee_list_changed AFTER INSERT OR DELETE OR UPDATE OR TRUNCATE ON public.employees FOR EACH STATEMENT EXECUTE FUNCTION public.note_employee_list_change();

ALTER TABLE ONLY public.centeremployeecrossreference
    ADD CONSTRAINT centeremployeecrossreference_employeeid_fkey FOREIGN KEY (employeeid) REFERENCES public.employees(id);

ALTER TABLE ONLY public.operatorcentres
    ADD CONSTRAINT operatorcentres_centerid_fkey FOREIGN KEY (centerid) REFERENCES public.centers(id);

ALTER TABLE ONLY public.operatorcentres
    ADD CONSTRAINT operatorcentres_operatorname_fkey FOREIGN KEY (operatorname) REFERENCES public.operators(name) ON DELETE CASCADE;

